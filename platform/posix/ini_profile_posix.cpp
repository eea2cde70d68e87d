// INI files on Linux: a reader of our own that keeps the rules of the Windows profile
// functions. The file is read afresh for each question, as those functions do.
#include "platform/ini_profile.h"

#include "text/TextConvert.h"

#include <fstream>
#include <optional>

namespace platform {
namespace {

struct Entry {
  std::u16string key;
  std::u16string value;
};

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\f' || c == u'\v';
}

std::u16string_view TrimBlanks(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

bool SameName(std::u16string_view a, std::u16string_view b) {
  return AsciiLower(std::u16string(a)) == AsciiLower(std::u16string(b));
}

std::optional<std::u16string> ReadText(const std::u16string& fileName) {
  std::ifstream file(Utf16ToUtf8(fileName), std::ios::binary);
  if (!file)
    return std::nullopt;
  // read() turns a failed read (a folder of that name, an I/O error) into the bad state;
  // the stream buffer's iterators would throw it at the caller instead.
  std::string bytes;
  char chunk[4096];
  while (file.read(chunk, sizeof(chunk)) || file.gcount() > 0)
    bytes.append(chunk, static_cast<size_t>(file.gcount()));
  if (file.bad())
    return std::nullopt;
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
    bytes.erase(0, 3);
  return Utf8ToUtf16(bytes);
}

/// The entries of the first section of that name, in file order. Lines starting with
/// ";" are comments; a line without "=" is a key without a value.
std::vector<Entry> SectionEntries(const std::u16string& fileName, const std::u16string& section) {
  std::vector<Entry> entries;
  std::optional<std::u16string> text = ReadText(fileName);
  if (!text)
    return entries;
  enum { kBefore, kInside, kAfter } where = kBefore;
  std::u16string_view rest = *text;
  while (!rest.empty() && where != kAfter) {
    size_t end = rest.find(u'\n');
    std::u16string_view line = TrimBlanks(rest.substr(0, end));
    rest = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end + 1);
    if (line.empty() || line.front() == u';')
      continue;
    if (line.front() == u'[') {
      size_t close = line.rfind(u']');
      if (close == std::u16string_view::npos)
        continue;
      bool match = SameName(TrimBlanks(line.substr(1, close - 1)), section);
      if (where == kInside)
        where = kAfter;
      else if (match)
        where = kInside;
      continue;
    }
    if (where != kInside)
      continue;
    size_t equals = line.find(u'=');
    std::u16string_view key = TrimBlanks(line.substr(0, equals));
    if (key.empty())
      continue;
    std::u16string_view value = equals == std::u16string_view::npos
                                    ? std::u16string_view()
                                    : TrimBlanks(line.substr(equals + 1));
    entries.push_back({std::u16string(key), std::u16string(value)});
  }
  return entries;
}

} // namespace

std::u16string ReadProfileString(const std::u16string& fileName, const std::u16string& section,
                                 const std::u16string& key, const std::u16string& fallback) {
  for (const Entry& entry : SectionEntries(fileName, section)) {
    if (!SameName(entry.key, key))
      continue;
    std::u16string_view value = entry.value;
    // A value in matching quotes comes without them, as on Windows.
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    return std::u16string(value);
  }
  return fallback;
}

std::vector<std::u16string> ReadProfileKeys(const std::u16string& fileName,
                                            const std::u16string& section) {
  std::vector<std::u16string> keys;
  for (Entry& entry : SectionEntries(fileName, section))
    keys.push_back(std::move(entry.key));
  return keys;
}

} // namespace platform
