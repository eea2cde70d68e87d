// One text domain: its catalogue directory or file, its language, and its lookups.
#pragma once

#include "common/GNUgettext/MoFile.h"
#include "framework/StringList.h"

#include <string>
#include <string_view>

/// Closed until the first lookup, which leaves it Open (a catalogue held from the
/// locator), Failed (none found; no new search until a setting changes) or Disabled (the
/// catalogue did not declare UTF-8; for the rest of the process).
class TDomain {
public:
  TDomain() = default;
  virtual ~TDomain();
  TDomain(const TDomain&) = delete;
  TDomain& operator=(const TDomain&) = delete;

  bool Enabled = true;
  std::u16string Domain;

  const std::u16string& Directory() const { return vDirectory; }
  /// Binds the domain to a catalogue directory; a separator is appended if missing.
  void SetDirectory(const std::u16string& directory);
  /// Binds the domain to one catalogue file, whatever the language.
  void SetFilename(const std::u16string& filename);
  void SetLanguageCode(const std::u16string& langcode);
  const std::u16string& LanguageCode() const { return curlang; }

  /// The translation, or msgid. May raise EGGIOError when the catalogue is damaged; the
  /// domain then stays Closed.
  std::string gettext(std::string_view msgid);
  /// The same without a copy: a view into the catalogue, or msgid itself.
  std::string_view Translate(std::string_view msgid);

  /// A header field of the current catalogue, trimmed; empty when absent.
  std::u16string GetTranslationProperty(const std::u16string& Propertyname);

  /// The language codes for which the domain has a catalogue, on disk or embedded.
  void GetListOfLanguages(TStringList<>& list) const;

  bool IsOpen() const { return mofile != nullptr; }
  bool OpenHasFailed() const { return OpenHasFailedBefore; }

private:
  std::u16string CataloguePath(const std::u16string& language) const;
  void OpenMoFile();
  void CloseMoFile();

  std::u16string vDirectory;
  TMoFile* mofile = nullptr;
  std::u16string SpecificFilename;
  std::u16string curlang;
  bool OpenHasFailedBefore = false;
};
