// The translator: current language and domain, the domain table, plural rules, and the
// gettext operations on the system's UTF-16 texts.
#pragma once

#include "framework/Resources.h"

#include "common/GNUgettext/Domain.h"
#include "framework/StringList.h"
#include "platform/user_locale.h"

#include <cstdint>
#include <string>
#include <vector>

/// Told of every new language, in order of registration.
class IGnuGettextInstanceWhenNewLanguageListener {
public:
  virtual ~IGnuGettextInstanceWhenNewLanguageListener() = default;
  virtual void WhenNewLanguage(const std::u16string& LanguageID) = 0;
};

/// A count to the index of its plural form.
using TGetPluralForm = int (*)(std::int32_t Number);

/// The rule of a language code, by its first two letters ("pt_BR" as a whole).
TGetPluralForm GetPluralFormFor(const std::u16string& languageCode);

/// The language code for a locale's names, else for the thread's locale identifier.
std::u16string SystemLanguageFrom(const platform::LocaleNames& names, std::uint32_t threadLocale);
/// The same for the user's and the thread's locale.
std::u16string GetSystemLanguage();

/// The component-translation facility holds only what the translator's creation
/// registers (two classes' ignored properties); nothing in the system reads it back.
/// A class of its object model: the registrations need the name and line of descent.
struct TClassInfo {
  const char16_t* Name;
  const TClassInfo* Parent;
  bool InheritsFrom(const TClassInfo* other) const;
};
extern const TClassInfo TPersistentClass;
extern const TClassInfo TComponentClass;
extern const TClassInfo TCollectionClass;

/// The properties of one class that the component-translation facility leaves alone.
class TClassMode {
public:
  TClassMode();
  const TClassInfo* HClass = nullptr;
  TStringList<> PropertiesToIgnore; // sorted, case-insensitive
};

/// For one thread at a time: a lookup may add a domain to the table and open a domain's
/// catalogue, and nothing here locks. The agent has one thread; the shared lock that
/// built-in text lookups take orders them before the locator's lock and makes two
/// lookups at once no safer.
class TGnuGettextInstance {
public:
  /// Chooses the language, binds "default" to DefaultDomainDirectory and makes it current.
  TGnuGettextInstance();
  virtual ~TGnuGettextInstance();
  TGnuGettextInstance(const TGnuGettextInstance&) = delete;
  TGnuGettextInstance& operator=(const TGnuGettextInstance&) = delete;

  /// When false every lookup returns its source text as passed in.
  bool Enabled = true;
  /// gettext also tries the other domains, in table order, while the text is untranslated.
  bool SearchAllDomains = false;

  virtual std::u16string gettext(const std::u16string& szMsgId);
  virtual std::u16string ngettext(const std::u16string& singular, const std::u16string& plural,
                                  std::int32_t Number);
  /// The translation with line ends as CR LF; a catalogue's EGGIOError passes on.
  virtual std::u16string dgettext(const std::u16string& szDomain, const std::u16string& szMsgId);
  /// The form the plural rule picks of the translated pair, or the last form there is.
  virtual std::u16string dngettext(const std::u16string& szDomain, const std::u16string& singular,
                                   const std::u16string& plural, std::int32_t Number);
  /// Told after the language, the current domain or a domain's directory changed.
  virtual void NotifyNewLanguage(const std::u16string& language);
  virtual void NotifyNewDomain(const std::u16string& domain);
  virtual void NotifyNewDomainDirectory(const std::u16string& domain,
                                        const std::u16string& directory);

  // The same operations, under names that text extraction skips.
  std::u16string gettext_NoExtract(const std::u16string& szMsgId) { return gettext(szMsgId); }
  std::u16string dgettext_NoExtract(const std::u16string& szDomain, const std::u16string& szMsgId) {
    return dgettext(szDomain, szMsgId);
  }
  std::u16string ngettext_NoExtract(const std::u16string& singular, const std::u16string& plural,
                                    std::int32_t Number) {
    return ngettext(singular, plural, Number);
  }
  std::u16string dngettext_NoExtract(const std::u16string& szDomain, const std::u16string& singular,
                                     const std::u16string& plural, std::int32_t Number) {
    return dngettext(szDomain, singular, plural, Number);
  }
  /// Marks a text for extraction without translating it.
  std::u16string gettext_NoOp(const std::u16string& szMsgId) { return szMsgId; }
  std::u16string dgettext_NoOp(const std::u16string&, const std::u16string& szMsgId) {
    return szMsgId;
  }

  /// Empty: chosen from "LANG" (cut before its first "."), else from the system.
  void UseLanguage(const std::u16string& LanguageCode);
  const std::u16string& GetCurrentLanguage() const { return curlang; }
  const std::u16string& getcurrenttextdomain() const { return curmsgdomain; }
  const std::u16string& GetDefaultDomainDirectory() const { return DefaultDomainDirectory; }

  void textdomain(const std::u16string& szDomain);
  void bindtextdomain(const std::u16string& szDomain, const std::u16string& szDirectory);
  void bindtextdomainToFile(const std::u16string& szDomain, const std::u16string& filename);

  std::u16string GetTranslationProperty(const std::u16string& Propertyname);
  std::u16string GetTranslatorNameAndEmail();
  void GetListOfLanguages(const std::u16string& domain, TStringList<>& list);

  /// The listener is not owned; it must stay alive while registered.
  void RegisterWhenNewLanguageListener(IGnuGettextInstanceWhenNewLanguageListener* Listener);
  void UnregisterWhenNewLanguageListener(IGnuGettextInstanceWhenNewLanguageListener* Listener);

  /// Kept for callers of the full interface; this translator keeps no debug log.
  void DebugLogToFile(const std::u16string& filename, bool append = false);
  void DebugLogPause(bool PauseEnabled);

  /// Loads one built-in resource text and passes it through the translator. Static: the
  /// redirected loader calls it while shutdown may already have destroyed the instance.
  static std::u16string LoadResString(const TResStringRec* ResStringRec);

  /// Every object of IgnClass (or a class derived from it) keeps that property untranslated.
  void TP_GlobalIgnoreClassProperty(const TClassInfo* IgnClass, const std::u16string& propertyname);
  /// The global class registrations, most derived classes first; read by tests only, the
  /// one way to see what creation registered.
  const std::vector<std::unique_ptr<TClassMode>>& GlobalClassHandling() const {
    return TP_GlobalClassHandling;
  }

  /// The domain of that name, made with the default directory and language if missing.
  TDomain& FindOrCreateDomain(const std::u16string& name);

protected:
  TGetPluralForm curGetPluralForm;

private:
  std::u16string curlang;
  std::u16string curmsgdomain;
  std::u16string DefaultDomainDirectory;
  TStringList<TDomain> domainlist;
  // Position of the domain found last: lookups name the same one over and over.
  int lastDomainIndex = -1;
  std::vector<std::unique_ptr<TClassMode>> TP_GlobalClassHandling;
  std::vector<IGnuGettextInstanceWhenNewLanguageListener*> fWhenNewLanguageListeners;
};
