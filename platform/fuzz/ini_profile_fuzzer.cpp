// Arbitrary bytes as an INI file, asked about every section it names. Checks what the
// reader promises: keys come trimmed and without "=", every key it lists has a value,
// names match without regard to case, and the answers stay the same when the file has
// CR LF line ends, starts with a UTF-8 byte-order mark, or has another section after it.
#include "platform/ini_profile.h"
#include "platform/test_support/fuzz_support.h"
#include "text/TextConvert.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using fuzz_support::Fault;

// No value holds a line end, so no answer can be mistaken for this fallback.
const std::u16string kMissing = u"\n";
// Enough to reach every state of the reader without making one input slow.
constexpr size_t kMaxSections = 8;
constexpr size_t kMaxKeys = 8;

struct SectionAnswers {
  std::u16string section;
  std::vector<std::u16string> keys;
  std::vector<std::u16string> values;
  bool operator==(const SectionAnswers&) const = default;
};

bool IsBlank(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\f' || c == u'\v';
}

/// The names between "[" and the last "]" of each line, and a few that are rarely there:
/// which of them are sections is for the reader to say.
std::vector<std::u16string> CandidateSections(std::string_view bytes) {
  std::vector<std::u16string> names = {u"", u"settings"};
  size_t start = 0;
  while (start < bytes.size() && names.size() < kMaxSections) {
    size_t end = std::min(bytes.find('\n', start), bytes.size());
    std::string_view line = bytes.substr(start, end - start);
    size_t open = line.find('[');
    size_t close = line.rfind(']');
    if (open != std::string_view::npos && close != std::string_view::npos && close > open) {
      std::u16string name = Utf8ToUtf16(line.substr(open + 1, close - open - 1));
      while (!name.empty() && IsBlank(name.back()))
        name.pop_back();
      while (!name.empty() && IsBlank(name.front()))
        name.erase(0, 1);
      if (std::find(names.begin(), names.end(), name) == names.end())
        names.push_back(std::move(name));
    }
    start = end + 1;
  }
  return names;
}

std::vector<SectionAnswers> Ask(const std::u16string& file,
                                const std::vector<std::u16string>& sections) {
  std::vector<SectionAnswers> answers;
  for (const std::u16string& section : sections) {
    SectionAnswers a{section, platform::ReadProfileKeys(file, section), {}};
    if (a.keys.size() > kMaxKeys)
      a.keys.resize(kMaxKeys);
    for (const std::u16string& key : a.keys) {
      if (key.empty() || IsBlank(key.front()) || IsBlank(key.back()) ||
          key.find_first_of(u"=\n") != std::u16string::npos)
        Fault();
      std::u16string value = platform::ReadProfileString(file, section, key, kMissing);
      if (value.find(u'\n') != std::u16string::npos)
        Fault(); // a listed key without a value, or a value that runs past its line
      if (platform::ReadProfileString(file, AsciiUpper(section), AsciiLower(key), kMissing) !=
          value)
        Fault();
      a.values.push_back(std::move(value));
    }
    if (platform::ReadProfileString(file, section, kMissing, u"fallback") != u"fallback")
      Fault();
    answers.push_back(std::move(a));
  }
  return answers;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  static fuzz_support::ScratchFile scratch("sa-fuzz-ini");
  const std::u16string file = scratch.path().u16string();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::vector<std::u16string> sections = CandidateSections(bytes);

  scratch.Write(bytes);
  const std::vector<SectionAnswers> answers = Ask(file, sections);

  std::string crlf;
  for (char c : bytes) {
    if (c == '\n')
      crlf += '\r';
    crlf += c;
  }
  scratch.Write(crlf);
  if (Ask(file, sections) != answers)
    Fault();

  const std::string bom = "\xEF\xBB\xBF";
  if (bytes.compare(0, bom.size(), bom) != 0) {
    scratch.Write(bom + bytes);
    if (Ask(file, sections) != answers)
      Fault();
  }

  // A later section changes nothing before it, and is found when its name is new. A
  // line like "x=[added later]" names no section, so an empty answer for that name may
  // become the new section's.
  const auto isAdded = [](const std::u16string& name) {
    return AsciiLower(name) == u"added later";
  };
  const SectionAnswers addedAnswers{u"", {u"key"}, {u"value"}};
  scratch.Write(bytes + "\n[added later]\nkey = \"value\"\n");
  const std::vector<SectionAnswers> after = Ask(file, sections);
  for (size_t i = 0; i < answers.size(); ++i) {
    if (after[i] == answers[i])
      continue;
    if (!isAdded(answers[i].section) || !answers[i].keys.empty() ||
        after[i].keys != addedAnswers.keys || after[i].values != addedAnswers.values)
      Fault();
  }
  if (sections.size() < kMaxSections && std::none_of(sections.begin(), sections.end(), isAdded) &&
      (platform::ReadProfileKeys(file, u"Added Later") != addedAnswers.keys ||
       platform::ReadProfileString(file, u"ADDED LATER", u"Key", kMissing) != u"value"))
    Fault();

  scratch.Remove();
  if (!platform::ReadProfileKeys(file, u"settings").empty() ||
      platform::ReadProfileString(file, u"settings", u"key", u"fallback") != u"fallback")
    Fault(); // a file that is gone answers like an empty one
  return 0;
}
