// The translator: creation, language choice, plural rules and the lookups.
#include "common/GNUgettext/GnuGettextInstance.h"

#include "common/GNUgettext/FileLocator.h"
#include "common/GNUgettext/TranslationState.h"
#include "text/ByteSearch.h"
#include "text/TextConvert.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace {

std::int64_t Abs(std::int32_t number) {
  return number < 0 ? -std::int64_t{number} : number;
}

int PluralEnglish(std::int32_t number) {
  return Abs(number) == 1 ? 0 : 1;
}
int PluralOneForm(std::int32_t) {
  return 0;
}
int PluralFrench(std::int32_t number) {
  return Abs(number) <= 1 ? 0 : 1;
}
int PluralLatvian(std::int32_t number) {
  std::int64_t n = Abs(number);
  return n % 10 == 1 && n % 100 != 11 ? 0 : (n != 0 ? 1 : 2);
}
int PluralIrish(std::int32_t number) {
  std::int64_t n = Abs(number);
  return n == 1 ? 0 : (n == 2 ? 1 : 2);
}
int PluralLithuanian(std::int32_t number) {
  std::int64_t n = Abs(number);
  if (n % 10 == 1 && n % 100 != 11)
    return 0;
  return n % 10 >= 2 && (n % 100 < 10 || n % 100 >= 20) ? 1 : 2;
}
int PluralRussian(std::int32_t number) {
  std::int64_t n = Abs(number);
  if (n % 10 == 1 && n % 100 != 11)
    return 0;
  return n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 10 || n % 100 >= 20) ? 1 : 2;
}
int PluralCzech(std::int32_t number) {
  std::int64_t n = Abs(number);
  return n == 1 ? 0 : (n >= 2 && n <= 4 ? 1 : 2);
}
int PluralPolish(std::int32_t number) {
  std::int64_t n = Abs(number);
  if (n == 1)
    return 0;
  return n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 10 || n % 100 >= 20) ? 1 : 2;
}
int PluralSlovenian(std::int32_t number) {
  std::int64_t n = Abs(number) % 100;
  return n == 1 ? 0 : (n == 2 ? 1 : (n == 3 || n == 4 ? 2 : 3));
}

std::u16string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? Utf8ToUtf16(value) : std::u16string();
}

// Lookups normalise line ends: a CR before every LF that has none.
std::u16string WithCrLf(std::string_view text) {
  if (!byte_search::Holds(text, '\n'))
    return Utf8ToUtf16(text);
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
      out.push_back('\r');
    out.push_back(text[i]);
  }
  return Utf8ToUtf16(out);
}

} // namespace

TGetPluralForm GetPluralFormFor(const std::u16string& languageCode) {
  const std::u16string code = AsciiLower(languageCode);
  const std::u16string two = code.substr(0, 2);
  auto any = [&](std::initializer_list<const char16_t*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char16_t* n) { return two == n; });
  };
  if (any({u"en", u"de"}))
    return PluralEnglish;
  if (any({u"hu", u"ko", u"zh", u"ja", u"tr"}))
    return PluralOneForm;
  if (any({u"fr", u"fa"}) || code == u"pt_br")
    return PluralFrench;
  if (two == u"lv")
    return PluralLatvian;
  if (two == u"ga")
    return PluralIrish;
  if (two == u"lt")
    return PluralLithuanian;
  if (any({u"ru", u"uk", u"hr"}))
    return PluralRussian;
  if (any({u"cs", u"sk"}))
    return PluralCzech;
  if (two == u"pl")
    return PluralPolish;
  if (two == u"sl")
    return PluralSlovenian;
  return PluralEnglish;
}

std::u16string SystemLanguageFrom(const platform::LocaleNames& names, std::uint32_t threadLocale) {
  if (names.language.size() == 2 && names.country.size() == 2) {
    std::u16string language = AsciiLower(names.language) == u"no" ? u"nb" : names.language;
    return language + u"_" + names.country;
  }
  static const struct {
    std::uint32_t id;
    const char16_t* code;
  } kCodes[] = {
      {0x0406, u"da_DK"}, {0x0407, u"de_DE"}, {0x0408, u"el_GR"}, {0x0409, u"en_US"},
      {0x040A, u"es_ES"}, {0x040B, u"fi_FI"}, {0x040C, u"fr_FR"}, {0x040F, u"is_IS"},
      {0x0410, u"it_IT"}, {0x0412, u"ko_KO"}, {0x0413, u"nl_NL"}, {0x0414, u"nb_NO"},
      {0x0415, u"pl_PL"}, {0x0416, u"pt_BR"}, {0x0419, u"ru_RU"}, {0x041D, u"sv_SE"},
      {0x0809, u"en_GB"}, {0x080C, u"fr_BE"}, {0x0813, u"nl_BE"}, {0x0814, u"nn_NO"},
      {0x0816, u"pt_PT"}, {0x081D, u"sv_FI"}, {0x0C0A, u"es_ES"}, {0x0C0C, u"fr_CA"},
      {0x1007, u"de_LU"},
  };
  for (const auto& row : kCodes)
    if (row.id == threadLocale)
      return row.code;
  return u"C";
}

std::u16string GetSystemLanguage() {
  return SystemLanguageFrom(platform::UserDefaultLocaleNames(), platform::ThreadLocaleId());
}

bool TClassInfo::InheritsFrom(const TClassInfo* other) const {
  for (const TClassInfo* c = this; c != nullptr; c = c->Parent)
    if (c == other)
      return true;
  return false;
}

const TClassInfo TPersistentClass{u"TPersistent", nullptr};
const TClassInfo TComponentClass{u"TComponent", &TPersistentClass};
const TClassInfo TCollectionClass{u"TCollection", &TPersistentClass};

TClassMode::TClassMode() {
  PropertiesToIgnore.Sorted = true;
  PropertiesToIgnore.Duplicates = TDuplicates::dupIgnore;
}

TGnuGettextInstance::TGnuGettextInstance() : curGetPluralForm(PluralEnglish) {
  curmsgdomain = u"default";
  const std::u16string folder = ExtractFilePath(Translation().ExecutablePath);
  std::error_code ignored;
  if (std::filesystem::is_directory(std::filesystem::path(folder + u"locale"), ignored))
    DefaultDomainDirectory = folder + u"locale";
  else
    DefaultDomainDirectory = folder + u".." + PathSeparator() + u"locale";
  UseLanguage(u"");
  bindtextdomain(u"default", DefaultDomainDirectory);
  textdomain(u"default");
  TP_GlobalIgnoreClassProperty(&TComponentClass, u"Name");
  TP_GlobalIgnoreClassProperty(&TCollectionClass, u"PropName");
}

TGnuGettextInstance::~TGnuGettextInstance() {
  TP_GlobalClassHandling.clear();
  lastDomainIndex = -1;
  // First to last: each domain gives its catalogue back to the locator.
  while (domainlist.Count() > 0)
    domainlist.Delete(0);
}

TDomain& TGnuGettextInstance::FindOrCreateDomain(const std::u16string& name) {
  // The table never holds two names that differ only in letter case (a name that matches
  // one is never added), so an exact match is the entry the search would find.
  if (lastDomainIndex >= 0 && domainlist.Strings(lastDomainIndex) == name)
    return *domainlist.Objects(lastDomainIndex);
  int index = domainlist.IndexOf(name);
  if (index >= 0) {
    lastDomainIndex = index;
    return *domainlist.Objects(index);
  }
  auto domain = std::make_unique<TDomain>();
  domain->Domain = name;
  domain->SetDirectory(DefaultDomainDirectory);
  domain->SetLanguageCode(curlang);
  TDomain& made = *domain;
  domainlist.AddObject(name, std::move(domain));
  return made;
}

void TGnuGettextInstance::UseLanguage(const std::u16string& LanguageCode) {
  std::u16string code = LanguageCode;
  if (code.empty()) {
    code = EnvironmentValue("LANG");
    if (code.empty())
      code = GetSystemLanguage();
    code = code.substr(0, code.find(u'.'));
  }
  curlang = code;
  for (int i = 0; i < domainlist.Count(); ++i)
    domainlist.Objects(i)->SetLanguageCode(curlang);
  curGetPluralForm = GetPluralFormFor(curlang);
  NotifyNewLanguage(curlang);
}

std::u16string TGnuGettextInstance::dgettext(const std::u16string& szDomain,
                                             const std::u16string& szMsgId) {
  if (!Enabled)
    return szMsgId;
  TDomain& domain = FindOrCreateDomain(szDomain);
  // Most keys are short: made on the stack, without an allocation.
  char onStack[256];
  std::string onHeap;
  char* key = onStack;
  size_t length;
  if (szMsgId.size() <= sizeof(onStack) / 3) {
    length = Utf16ToUtf8(szMsgId, key);
  } else {
    onHeap = Utf16ToUtf8(szMsgId);
    key = onHeap.data();
    length = onHeap.size();
  }
  if (byte_search::Holds(std::string_view(key, length), '\r'))
    length = static_cast<size_t>(std::remove(key, key + length, '\r') - key);
  return WithCrLf(domain.Translate(std::string_view(key, length)));
}

std::u16string TGnuGettextInstance::gettext(const std::u16string& szMsgId) {
  std::u16string result = dgettext(curmsgdomain, szMsgId);
  if (!SearchAllDomains || !Enabled)
    return result;
  // What dgettext answers for a text no catalogue has.
  std::string key = Utf16ToUtf8(szMsgId);
  std::erase(key, '\r');
  const std::u16string untranslated = WithCrLf(key);
  for (int i = 0; i < domainlist.Count() && result == untranslated; ++i)
    if (CompareTextOrdinalIgnoreCase(domainlist.Strings(i), curmsgdomain) != 0)
      result = dgettext(domainlist.Strings(i), szMsgId);
  return result;
}

std::u16string TGnuGettextInstance::dngettext(const std::u16string& szDomain,
                                              const std::u16string& singular,
                                              const std::u16string& plural, std::int32_t Number) {
  const std::u16string key = singular + u'\0' + plural;
  std::u16string t = dgettext(szDomain, key);
  int index = t == key ? PluralEnglish(Number) : curGetPluralForm(Number);
  for (;;) {
    size_t zero = t.find(u'\0');
    if (zero == std::u16string::npos)
      return t;
    if (index == 0)
      return t.substr(0, zero);
    t.erase(0, zero + 1);
    --index;
  }
}

std::u16string TGnuGettextInstance::ngettext(const std::u16string& singular,
                                             const std::u16string& plural, std::int32_t Number) {
  return dngettext(curmsgdomain, singular, plural, Number);
}

void TGnuGettextInstance::NotifyNewLanguage(const std::u16string& language) {
  // A copy: a listener may unregister itself while being told.
  std::vector<IGnuGettextInstanceWhenNewLanguageListener*> listeners = fWhenNewLanguageListeners;
  for (IGnuGettextInstanceWhenNewLanguageListener* listener : listeners)
    listener->WhenNewLanguage(language);
}

void TGnuGettextInstance::NotifyNewDomain(const std::u16string&) {}

void TGnuGettextInstance::NotifyNewDomainDirectory(const std::u16string&, const std::u16string&) {}

void TGnuGettextInstance::textdomain(const std::u16string& szDomain) {
  curmsgdomain = szDomain;
  NotifyNewDomain(szDomain);
}

void TGnuGettextInstance::bindtextdomain(const std::u16string& szDomain,
                                         const std::u16string& szDirectory) {
  std::u16string directory = szDirectory;
  if (directory.empty() || directory.back() != PathSeparator())
    directory += PathSeparator();
  FindOrCreateDomain(szDomain).SetDirectory(directory);
  NotifyNewDomainDirectory(szDomain, szDirectory);
}

void TGnuGettextInstance::bindtextdomainToFile(const std::u16string& szDomain,
                                               const std::u16string& filename) {
  FindOrCreateDomain(szDomain).SetFilename(filename);
}

std::u16string TGnuGettextInstance::GetTranslationProperty(const std::u16string& Propertyname) {
  return FindOrCreateDomain(curmsgdomain).GetTranslationProperty(Propertyname);
}

std::u16string TGnuGettextInstance::GetTranslatorNameAndEmail() {
  return GetTranslationProperty(u"LAST-TRANSLATOR");
}

void TGnuGettextInstance::GetListOfLanguages(const std::u16string& domain, TStringList<>& list) {
  FindOrCreateDomain(domain).GetListOfLanguages(list);
}

void TGnuGettextInstance::RegisterWhenNewLanguageListener(
    IGnuGettextInstanceWhenNewLanguageListener* Listener) {
  fWhenNewLanguageListeners.push_back(Listener);
}

void TGnuGettextInstance::UnregisterWhenNewLanguageListener(
    IGnuGettextInstanceWhenNewLanguageListener* Listener) {
  auto at = std::find(fWhenNewLanguageListeners.begin(), fWhenNewLanguageListeners.end(), Listener);
  if (at != fWhenNewLanguageListeners.end())
    fWhenNewLanguageListeners.erase(at);
}

void TGnuGettextInstance::DebugLogToFile(const std::u16string&, bool) {}

void TGnuGettextInstance::DebugLogPause(bool) {}

void TGnuGettextInstance::TP_GlobalIgnoreClassProperty(const TClassInfo* IgnClass,
                                                       const std::u16string& propertyname) {
  const std::u16string name = AsciiUpper(propertyname);
  for (size_t i = 0; i < TP_GlobalClassHandling.size(); ++i) {
    TClassMode& mode = *TP_GlobalClassHandling[i];
    if (mode.HClass == IgnClass) {
      mode.PropertiesToIgnore.Add(name);
      return;
    }
    if (IgnClass->InheritsFrom(mode.HClass)) {
      auto inserted = std::make_unique<TClassMode>();
      inserted->HClass = IgnClass;
      inserted->PropertiesToIgnore.Add(name);
      TP_GlobalClassHandling.insert(TP_GlobalClassHandling.begin() + static_cast<std::ptrdiff_t>(i),
                                    std::move(inserted));
      return;
    }
  }
  auto appended = std::make_unique<TClassMode>();
  appended->HClass = IgnClass;
  appended->PropertiesToIgnore.Add(name);
  TP_GlobalClassHandling.push_back(std::move(appended));
}
