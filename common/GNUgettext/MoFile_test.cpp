// The MO catalogue reader against catalogues made by msgfmt and damaged copies of them.
#include "common/GNUgettext/MoFile.h"

#include "common/GNUgettext/test_support.h"

#include <functional>

using namespace gettext_test;

namespace {

using namespace std::string_literals;

std::string Lookup(const TMoFile& mo, const std::string& msgid, bool& found) {
  return mo.gettext(msgid, found);
}

// Test tuple <msgid, expected translation or empty for a miss>
const struct LookupCase {
  std::string msgid;
  std::string expected;
} kBasicCases[] = {
    {"Hell", "Höll"},
    {"Hello", "Hallo"}, // "Hell" is a prefix of it; both are found
    {"Hello world", "Hallo Welt"},
    {"file\0files"s, "Datei\0Dateien"s}, // a plural pair: the zero byte compares like others
    {"two\nlines", "zwei\nZeilen"},
    {"Cancel", "Abbrechen"},
    {"zebra", "Zebra"},
    {"Äpfel", "apples"}, // sorts after "zebra" only when bytes compare unsigned
    {"Hel", ""},
    {"Hellp", ""},
    {"file", ""},
    {"file\0"s, ""},
    {"A", ""},
    {"zzz", ""},
    {"\xff", ""},
};

void ExpectBasicAnswers(const TMoFile& mo) {
  for (const LookupCase& c : kBasicCases) {
    SCOPED_TRACE(c.msgid);
    bool found = !c.expected.empty();
    std::string result = Lookup(mo, c.msgid, found);
    EXPECT_EQ(found, !c.expected.empty());
    EXPECT_EQ(result, c.expected.empty() ? c.msgid : c.expected);
  }
  bool found = false;
  std::string header = Lookup(mo, "", found);
  EXPECT_TRUE(found);
  EXPECT_NE(header.find("Content-Type: text/plain; charset=UTF-8\n"), std::string::npos);
}

TEST(MoFileTest, BothByteOrdersGiveTheSameAnswers) {
  TMoFile native(Fixture("basic").u16string(), 0, 0);
  TMoFile swapped(Fixture("basic_be").u16string(), 0, 0);
  EXPECT_FALSE(native.isSwappedArchitecture());
  EXPECT_TRUE(swapped.isSwappedArchitecture());
  EXPECT_EQ(native.Users, 0);
  ExpectBasicAnswers(native);
  ExpectBasicAnswers(swapped);
}

TEST(MoFileTest, EveryEntryIsFoundWhateverTheCount) {
  for (int n : {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                15, 16, 17, 18, 19, 20, 31, 32, 33, 63, 64, 65, 100}) {
    for (const char* suffix : {"", "_be"}) {
      SCOPED_TRACE(std::to_string(n) + suffix);
      TMoFile mo(Fixture("sized_" + std::to_string(n) + suffix).u16string(), 0, 0);
      ASSERT_EQ(mo.Count(), static_cast<std::uint32_t>(n));
      for (int i = 1; i < n; ++i) {
        bool found = false;
        EXPECT_EQ(mo.gettext("key" + std::to_string(i), found), "value" + std::to_string(i));
        EXPECT_TRUE(found) << i;
        // Just after this key and just before it: both misses.
        EXPECT_EQ(mo.gettext("key" + std::to_string(i) + "!", found),
                  "key" + std::to_string(i) + "!");
        EXPECT_FALSE(found);
      }
      bool found = false;
      mo.gettext("", found);
      EXPECT_TRUE(found);
      for (const char* miss : {" ", "key", "kez", "~"}) {
        mo.gettext(miss, found);
        EXPECT_FALSE(found) << miss;
      }
    }
  }
}

TEST(MoFileTest, NoEntriesFindsNothing) {
  ScopedTempDir dir;
  std::string bytes = ReadFileBytes(Fixture("basic"));
  PutWord(bytes, 8, 0);
  WriteFileBytes(dir.folder() / "none.mo", bytes);
  TMoFile mo((dir.folder() / "none.mo").u16string(), 0, 0);
  for (const std::string& msgid : {""s, "Hello"s}) {
    bool found = true;
    EXPECT_EQ(mo.gettext(msgid, found), msgid);
    EXPECT_FALSE(found);
  }
}

TEST(MoFileTest, CatalogueInsideALargerFileIsReadFromItsOwnFirstByte) {
  ScopedTempDir dir;
  std::string catalogue = ReadFileBytes(Fixture("basic_be"));
  std::string before(1000, 'x');
  WriteFileBytes(dir.folder() / "carrier.bin", before + catalogue + std::string(77, '\xde'));
  TMoFile mo((dir.folder() / "carrier.bin").u16string(), static_cast<std::int64_t>(before.size()),
             static_cast<std::int64_t>(catalogue.size()));
  ExpectBasicAnswers(mo);
}

TEST(MoFileTest, FailuresNameTheFileAndTheReason) {
  ScopedTempDir dir;
  const std::string good = ReadFileBytes(Fixture("basic"));
  const std::u16string notValid = u"This file is not a valid GNU gettext mo file: ";
  // Test tuple <name, bytes written or none for a missing file, offset, message prefix>
  struct Case {
    const char* name;
    std::function<std::string()> bytes;
    std::int64_t offset;
    std::u16string message;
  } cases[] = {
      {"missing.mo", nullptr, 0, u"Cannot open file "},
      {"empty.mo", [] { return std::string(); }, 0, u"Cannot create memory map on file "},
      {"magic.mo",
       [&] {
         auto b = good;
         b[0] = 'x';
         return b;
       },
       0, notValid},
      {"short.mo", [&] { return good.substr(0, 3); }, 0, notValid},
      {"header.mo", [&] { return good.substr(0, 19); }, 0, notValid},
      {"truncated.mo", [&] { return good.substr(0, good.size() / 2); }, 0, notValid},
      {"tables.mo",
       [&] {
         auto b = good;
         PutWord(b, 12, 0xfffffff0);
         return b;
       },
       0, notValid},
      {"count.mo",
       [&] {
         auto b = good;
         PutWord(b, 8, 0x10000000);
         return b;
       },
       0, notValid},
      {"string.mo",
       [&] {
         auto b = good;
         PutWord(b, GetWord(b, 16) + 12, 0x7fffffff);
         return b;
       },
       0, notValid},
      {"length.mo",
       [&] {
         auto b = good;
         PutWord(b, GetWord(b, 12) + 8, 0xffffffff);
         return b;
       },
       0, notValid},
      {"offset.mo", [&] { return good; }, static_cast<std::int64_t>(good.size()) + 1, notValid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::u16string path = (dir.folder() / c.name).u16string();
    if (c.bytes)
      WriteFileBytes(dir.folder() / c.name, c.bytes());
    try {
      TMoFile mo(path, c.offset, 0);
      ADD_FAILURE() << "opened";
    } catch (const EGGIOError& e) {
      EXPECT_EQ(e.Message(), c.message + path);
    }
  }
}

} // namespace
