// The shipped translations against the string table: the generated template holds every
// built-in text once, in the spelling lookups use, and every language translates them all.
#include "text/TextConvert.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct PoEntry {
  std::string msgid;
  std::string msgstr;
  bool fuzzy = false;
  int line = 0;
};

// Undoes the C escapes of a PO string's inside.
std::string Unescape(const std::string& quoted) {
  std::string out;
  for (size_t i = 0; i < quoted.size(); ++i) {
    if (quoted[i] != '\\' || i + 1 == quoted.size()) {
      out += quoted[i];
      continue;
    }
    switch (char c = quoted[++i]) {
    case 'n':
      out += '\n';
      break;
    case 'r':
      out += '\r';
      break;
    case 't':
      out += '\t';
      break;
    case 'a':
      out += '\a';
      break;
    case 'b':
      out += '\b';
      break;
    case 'f':
      out += '\f';
      break;
    case 'v':
      out += '\v';
      break;
    default:
      out += c;
      break; // \\, \" and \'
    }
  }
  return out;
}

// The entries of a PO file in file order, the header included; obsolete ones left out.
std::vector<PoEntry> ReadPo(const std::string& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in) << "cannot read " << path;
  std::vector<PoEntry> entries;
  PoEntry current;
  std::string* target = nullptr;
  bool fuzzy = false;
  std::string line;
  int number = 0;
  auto finish = [&] {
    if (target != nullptr)
      entries.push_back(current);
    current = PoEntry{};
    target = nullptr;
  };
  while (std::getline(in, line)) {
    ++number;
    if (line.rfind("#,", 0) == 0) {
      finish();
      fuzzy = line.find("fuzzy") != std::string::npos;
    } else if (line.rfind("msgid \"", 0) == 0) {
      finish();
      current.fuzzy = fuzzy;
      current.line = number;
      fuzzy = false;
      target = &current.msgid;
      *target = Unescape(line.substr(7, line.size() - 8));
    } else if (line.rfind("msgstr \"", 0) == 0 && target != nullptr) {
      target = &current.msgstr;
      *target = Unescape(line.substr(8, line.size() - 9));
    } else if (line.rfind("\"", 0) == 0 && target != nullptr) {
      *target += Unescape(line.substr(1, line.size() - 2));
    }
  }
  finish();
  return entries;
}

// The table's texts as the compiler reads them, without CR: the keys lookups use.
std::set<std::string> TableKeys() {
  static const char16_t* const kTexts[] = {
#define SA_STRING(name, id, text) u"" text,
#include "text/StringTable.def"
#undef SA_STRING
  };
  std::set<std::string> keys;
  for (const char16_t* text : kTexts) {
    std::string key = Utf16ToUtf8(text);
    std::erase(key, '\r');
    if (!key.empty())
      keys.insert(key);
  }
  return keys;
}

TEST(Template, HoldsEveryTableTextOnceWithoutCr) {
  std::vector<PoEntry> entries = ReadPo(SA_PO_BINARY_DIR "/default.pot");
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.front().msgid, "");
  std::multiset<std::string> msgids;
  for (size_t i = 1; i < entries.size(); ++i) {
    msgids.insert(entries[i].msgid);
    EXPECT_EQ(entries[i].msgstr, "") << "line " << entries[i].line;
  }
  std::set<std::string> keys = TableKeys();
  EXPECT_EQ(std::set<std::string>(msgids.begin(), msgids.end()), keys);
  EXPECT_EQ(msgids.size(), keys.size()) << "a text appears twice";
}

TEST(Translations, EveryLanguageTranslatesEveryTextInUtf8) {
  const std::set<std::string> keys = TableKeys();
  // The build's list of shipped languages, separated by ",".
  std::vector<std::string> languages;
  std::stringstream list(SA_PO_LANGUAGES);
  for (std::string lang; std::getline(list, lang, ',');)
    languages.push_back(lang);
  ASSERT_FALSE(languages.empty());
  for (const std::string& lang : languages) {
    SCOPED_TRACE(lang);
    std::vector<PoEntry> entries = ReadPo(std::string(SA_PO_SOURCE_DIR "/") + lang + ".po");
    ASSERT_FALSE(entries.empty());
    // The agent turns a catalogue off for good unless it declares UTF-8.
    EXPECT_NE(entries.front().msgstr.find("charset=UTF-8"), std::string::npos);
    std::map<std::string, const PoEntry*> byMsgid;
    for (size_t i = 1; i < entries.size(); ++i) {
      const PoEntry& entry = entries[i];
      EXPECT_TRUE(byMsgid.emplace(entry.msgid, &entry).second) << "twice: " << entry.msgid;
      EXPECT_TRUE(keys.count(entry.msgid)) << "not in the table: " << entry.msgid;
    }
    for (const std::string& key : keys) {
      auto found = byMsgid.find(key);
      if (found == byMsgid.end()) {
        ADD_FAILURE() << "missing: " << key;
        continue;
      }
      EXPECT_FALSE(found->second->msgstr.empty()) << "untranslated: " << key;
      EXPECT_FALSE(found->second->fuzzy) << "fuzzy: " << key;
    }
  }
}

} // namespace
