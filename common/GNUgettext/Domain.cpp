// Text domains: finding and checking the catalogue, lookups and header fields.
#include "common/GNUgettext/Domain.h"

#include "common/GNUgettext/FileLocator.h"
#include "common/GNUgettext/TranslationState.h"
#include "framework/SysUtils.h"
#include "platform/message_box.h"
#include "text/TextConvert.h"

#include <filesystem>
#include <system_error>

namespace {

std::u16string Separator() {
  return std::u16string(1, PathSeparator());
}

bool ExistsOnDisk(const std::u16string& path) {
  std::error_code ignored;
  return std::filesystem::exists(std::filesystem::path(path), ignored); // follows links
}

TFileLocator& Locator() {
  TFileLocator* locator = Translation().CatalogueLocator;
  Assert(locator != nullptr, u"The catalogue locator has not been made");
  return *locator;
}

bool StartsWith(const std::u16string& text, const std::u16string& start) {
  return text.compare(0, start.size(), start) == 0;
}

bool EndsWith(const std::u16string& text, const std::u16string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

TDomain::~TDomain() {
  CloseMoFile();
}

void TDomain::SetDirectory(const std::u16string& directory) {
  vDirectory = directory;
  if (vDirectory.empty() || vDirectory.back() != PathSeparator())
    vDirectory += PathSeparator();
  SpecificFilename.clear();
  CloseMoFile();
}

void TDomain::SetFilename(const std::u16string& filename) {
  CloseMoFile();
  vDirectory.clear();
  SpecificFilename = filename;
}

void TDomain::SetLanguageCode(const std::u16string& langcode) {
  CloseMoFile();
  curlang = langcode;
}

std::u16string TDomain::CataloguePath(const std::u16string& language) const {
  return vDirectory + language + Separator() + u"LC_MESSAGES" + Separator() + Domain + u".mo";
}

void TDomain::CloseMoFile() {
  if (mofile != nullptr) {
    TMoFile* held = mofile;
    mofile = nullptr;
    Locator().ReleaseMoFile(held);
  }
  OpenHasFailedBefore = false;
}

void TDomain::OpenMoFile() {
  TFileLocator& locator = Locator();
  auto available = [&](const std::u16string& p) {
    return locator.FileExists(p) || ExistsOnDisk(p);
  };
  std::u16string path;
  if (!SpecificFilename.empty()) {
    path = SpecificFilename;
  } else {
    path = CataloguePath(curlang);
    if (!available(path))
      path = CataloguePath(curlang.substr(0, 2));
  }
  if (!available(path)) {
    OpenHasFailedBefore = true;
    return;
  }
  mofile = locator.GetMoFile(path);
  if (AsciiUpper(GetTranslationProperty(u"Content-Type")).find(u"CHARSET=UTF-8") ==
      std::u16string::npos) {
    CloseMoFile();
    Enabled = false;
    platform::ShowMessageBox(u"Localization problem",
                             u"The translation for the language code " + curlang + u" (in " + path +
                                 u") does not have charset=utf-8 in its Content-Type. "
                                 u"Translations are turned off.",
                             platform::kBoxOk);
  }
}

std::string_view TDomain::Translate(std::string_view msgid) {
  if (!Enabled)
    return msgid;
  if (mofile == nullptr && !OpenHasFailedBefore)
    OpenMoFile();
  std::string_view translation;
  if (mofile != nullptr && mofile->Find(msgid, translation))
    return translation;
  return msgid;
}

std::string TDomain::gettext(std::string_view msgid) {
  return std::string(Translate(msgid));
}

std::u16string TDomain::GetTranslationProperty(const std::u16string& Propertyname) {
  const std::u16string key = AsciiUpper(Propertyname) + u": ";
  const std::u16string header = Utf8ToUtf16(Translate(""));
  size_t start = 0;
  while (start < header.size()) {
    size_t end = header.find_first_of(u"\r\n", start);
    if (end == std::u16string::npos)
      end = header.size();
    std::u16string_view line(header.data() + start, end - start);
    if (line.size() >= key.size() && AsciiUpper(std::u16string(line.substr(0, key.size()))) == key)
      return Trim(line.substr(key.size()));
    // CR LF is one line end; a lone CR or LF is one too.
    start = end +
            ((end + 1 < header.size() && header[end] == u'\r' && header[end + 1] == u'\n') ? 2 : 1);
  }
  return {};
}

void TDomain::GetListOfLanguages(TStringList<>& list) const {
  list.Clear();
  const std::u16string catalogueTail = Separator() + u"LC_MESSAGES" + Separator() + Domain + u".mo";
  std::error_code error;
  if (!vDirectory.empty()) {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(vDirectory), error)) {
      std::u16string name = entry.path().filename().u16string();
      if (!entry.is_directory(error) || name == u"." || name == u"..")
        continue;
      if (ExistsOnDisk(vDirectory + name + catalogueTail) && list.IndexOf(AsciiLower(name)) < 0)
        list.Add(AsciiLower(name));
    }
  }
  const TFileLocator* locator = Translation().CatalogueLocator;
  if (locator == nullptr)
    return;
  const std::u16string directory = AsciiUpper(vDirectory);
  const std::u16string tail = AsciiUpper(catalogueTail);
  const TStringList<TEmbeddedFileInfo>& files = locator->EmbeddedFiles();
  for (int i = 0; i < files.Count(); ++i) {
    std::u16string full = AsciiUpper(locator->BaseDirectory() + files.Strings(i));
    if (!StartsWith(full, directory) || !EndsWith(full, tail) ||
        full.size() < directory.size() + tail.size())
      continue;
    std::u16string language =
        AsciiLower(full.substr(directory.size(), full.size() - directory.size() - tail.size()));
    if (language.size() > 3)
      language = language.substr(0, 3) + AsciiUpper(language.substr(3));
    if (list.IndexOf(language) < 0)
      list.Add(language);
  }
}
