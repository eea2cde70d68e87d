// The MO catalogue reader against catalogues made by msgfmt and damaged copies of them,
// each opened both ways: mapped in place and read into a copy.
#include "common/GNUgettext/MoFile.h"

#include "common/GNUgettext/test_support.h"
#include "framework/FileStream.h"
#include "framework/SysUtils.h"
#include "platform/log_file.h"

#include <functional>
#include <optional>

using namespace gettext_test;

namespace {

using namespace std::string_literals;

std::string Lookup(const TMoFile& mo, const std::string& msgid, bool& found) {
  return mo.gettext(msgid, found);
}

// Test tuple <xUseMemoryMappedFiles, name>
const struct Mode {
  bool mapped;
  const char* name;
} kModes[] = {{true, "mapped"}, {false, "copied"}};

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
  for (const Mode& mode : kModes) {
    SCOPED_TRACE(mode.name);
    TMoFile native(Fixture("basic").u16string(), 0, 0, mode.mapped);
    TMoFile swapped(Fixture("basic_be").u16string(), 0, 0, mode.mapped);
    EXPECT_FALSE(native.isSwappedArchitecture());
    EXPECT_TRUE(swapped.isSwappedArchitecture());
    EXPECT_EQ(native.Users, 0);
    ExpectBasicAnswers(native);
    ExpectBasicAnswers(swapped);
  }
}

TEST(MoFileTest, EveryEntryIsFoundWhateverTheCount) {
  for (int n : {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                15, 16, 17, 18, 19, 20, 31, 32, 33, 63, 64, 65, 100}) {
    for (const char* suffix : {"", "_be"}) {
      SCOPED_TRACE(std::to_string(n) + suffix);
      const std::u16string path = Fixture("sized_" + std::to_string(n) + suffix).u16string();
      TMoFile mo(path, 0, 0, true);
      TMoFile copied(path, 0, 0, false);
      ASSERT_EQ(mo.Count(), static_cast<std::uint32_t>(n));
      ASSERT_EQ(copied.Count(), mo.Count());
      // The copy answers every question exactly as the mapped view does.
      auto ask = [&](const std::string& msgid, bool& found) {
        bool copiedFound = !found;
        std::string copiedAnswer = copied.gettext(msgid, copiedFound);
        std::string answer = mo.gettext(msgid, found);
        EXPECT_EQ(copiedAnswer, answer) << msgid;
        EXPECT_EQ(copiedFound, found) << msgid;
        return answer;
      };
      for (int i = 1; i < n; ++i) {
        bool found = false;
        EXPECT_EQ(ask("key" + std::to_string(i), found), "value" + std::to_string(i));
        EXPECT_TRUE(found) << i;
        // Just after this key and just before it: both misses.
        EXPECT_EQ(ask("key" + std::to_string(i) + "!", found), "key" + std::to_string(i) + "!");
        EXPECT_FALSE(found);
      }
      bool found = false;
      ask("", found);
      EXPECT_TRUE(found);
      for (const char* miss : {" ", "key", "kez", "~"}) {
        ask(miss, found);
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
  for (const Mode& mode : kModes) {
    SCOPED_TRACE(mode.name);
    TMoFile mo((dir.folder() / "none.mo").u16string(), 0, 0, mode.mapped);
    for (const std::string& msgid : {""s, "Hello"s}) {
      bool found = true;
      EXPECT_EQ(mo.gettext(msgid, found), msgid);
      EXPECT_FALSE(found);
    }
  }
}

TEST(MoFileTest, CatalogueInsideALargerFileIsReadFromItsOwnFirstByte) {
  ScopedTempDir dir;
  std::string catalogue = ReadFileBytes(Fixture("basic_be"));
  std::string before(1000, 'x');
  WriteFileBytes(dir.folder() / "carrier.bin", before + catalogue + std::string(77, '\xde'));
  for (const Mode& mode : kModes) {
    SCOPED_TRACE(mode.name);
    TMoFile mo((dir.folder() / "carrier.bin").u16string(), static_cast<std::int64_t>(before.size()),
               static_cast<std::int64_t>(catalogue.size()), mode.mapped);
    ExpectBasicAnswers(mo);
  }
}

TEST(MoFileTest, CopyIsReadWhileAnotherProgramWritesTheFile) {
  ScopedTempDir dir;
  const fs::path file = dir.folder() / "open.mo";
  WriteFileBytes(file, ReadFileBytes(Fixture("basic")));
  // A writer that lets others read but not write: the copy's stream denies no one, so it
  // opens beside it.
  auto writer = platform::SharedLogFile::OpenForAppend(file.u16string());
  ASSERT_NE(writer, nullptr);
  TMoFile mo(file.u16string(), 0, 0, false);
  ExpectBasicAnswers(mo);
}

TEST(MoFileTest, FailuresNameTheFileAndTheReason) {
  ScopedTempDir dir;
  const std::string good = ReadFileBytes(Fixture("basic"));
  const std::u16string notValid = u"This file is not a valid GNU gettext mo file: ";
  const std::u16string readError = u"Stream read error";
  const auto whole = static_cast<std::int64_t>(good.size());
  // What each mode raises: the class, and the message or, ending in the path, its start.
  struct Failure {
    std::u16string className;
    std::u16string message;
    bool endsInPath;
  };
  const Failure invalid{u"EGGIOError", notValid, true};
  // Test tuple <name, bytes written or none for a missing file, offset, size, mapped's
  // failure, copy's failure>
  struct Case {
    const char* name;
    std::function<std::string()> bytes;
    std::int64_t offset;
    std::int64_t size;
    std::optional<Failure> mapped; // none: the view ends at the file's end and opens
    Failure copied;
  } cases[] = {
      {"missing.mo",
       nullptr,
       0,
       0,
       Failure{u"EGGIOError", u"Cannot open file ", true},
       {u"EFOpenError", u"", false}},
      {"empty.mo", [] { return std::string(); }, 0, 0,
       Failure{u"EGGIOError", u"Cannot create memory map on file ", true}, invalid},
      {"magic.mo",
       [&] {
         auto b = good;
         b[0] = 'x';
         return b;
       },
       0, 0, invalid, invalid},
      {"short.mo", [&] { return good.substr(0, 3); }, 0, 0, invalid, invalid},
      {"header.mo", [&] { return good.substr(0, 19); }, 0, 0, invalid, invalid},
      {"truncated.mo", [&] { return good.substr(0, good.size() / 2); }, 0, 0, invalid, invalid},
      {"tables.mo",
       [&] {
         auto b = good;
         PutWord(b, 12, 0xfffffff0);
         return b;
       },
       0, 0, invalid, invalid},
      {"count.mo",
       [&] {
         auto b = good;
         PutWord(b, 8, 0x10000000);
         return b;
       },
       0, 0, invalid, invalid},
      {"string.mo",
       [&] {
         auto b = good;
         PutWord(b, GetWord(b, 16) + 12, 0x7fffffff);
         return b;
       },
       0, 0, invalid, invalid},
      {"length.mo",
       [&] {
         auto b = good;
         PutWord(b, GetWord(b, 12) + 8, 0xffffffff);
         return b;
       },
       0, 0, invalid, invalid},
      {"offset.mo", [&] { return good; }, whole + 1, 0, invalid, {u"EReadError", readError, false}},
      // Size 0 is the whole file's size for a copy, which no longer fits after an offset;
      // the view simply ends with the file.
      {"rest.mo",
       [&] { return "x" + good; },
       1,
       0,
       std::nullopt,
       {u"EReadError", readError, false}},
      // More bytes asked for than the file has: the copy's read falls short.
      {"size.mo",
       [&] { return good; },
       0,
       whole + 1,
       std::nullopt,
       {u"EReadError", readError, false}},
      {"negative.mo", [&] { return good; }, -1, 0, invalid, {u"EReadError", readError, false}},
  };
  // The open failure of the stream names the file and the system's reason.
  cases[0].copied.message = u"Cannot open file '" + (dir.folder() / "missing.mo").u16string() +
                            u"'. " + SysErrorMessage(2);
  for (const Case& c : cases) {
    std::u16string path = (dir.folder() / c.name).u16string();
    if (c.bytes)
      WriteFileBytes(dir.folder() / c.name, c.bytes());
    for (const Mode& mode : kModes) {
      SCOPED_TRACE(std::string(c.name) + " " + mode.name);
      if (mode.mapped && !c.mapped)
        continue;
      const Failure& expected = mode.mapped ? *c.mapped : c.copied;
      try {
        TMoFile mo(path, c.offset, c.size, mode.mapped);
        ADD_FAILURE() << "opened";
      } catch (const Exception& e) {
        EXPECT_EQ(std::u16string(e.ClassName()), expected.className);
        EXPECT_EQ(e.Message(), expected.endsInPath ? expected.message + path : expected.message);
      }
    }
  }
}

} // namespace
