// INI files read by the rules the agent's switch file relies on, on real files: the
// same answers from the system's profile functions and from our own reader.
#include "platform/ini_profile.h"

#include "tests/support/files.h"
#include "tests/support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using platform::ReadProfileKeys;
using platform::ReadProfileString;
using Keys = std::vector<std::u16string>;

class IniProfileTest : public testing::Test {
protected:
  std::u16string Write(const std::string& content) {
    fs::path file = dir_.folder() / "MKLOG.INI";
    testing_support::WriteFileBytes(file, content);
    return file.u16string();
  }

  testing_support::ScopedTempDir dir_;
};

TEST_F(IniProfileTest, DuplicateKeysAreListedAsOftenAsTheyOccurAndTheFirstIsRead) {
  std::u16string file = Write("[defines]\r\nOne=1\r\ntwo=2\r\nONE=3\r\n\r\n[other]\r\nx=1\r\n");
  EXPECT_EQ(ReadProfileKeys(file, u"Defines"), (Keys{u"One", u"two", u"ONE"}));
  EXPECT_EQ(ReadProfileString(file, u"defines", u"one", u"-"), u"1");
  EXPECT_EQ(ReadProfileKeys(file, u"other"), (Keys{u"x"}));
}

TEST_F(IniProfileTest, OnlyTheFirstSectionOfANameCounts) {
  std::u16string file = Write(
      "[settings]\r\nDebuggLog=0\r\n[defines]\r\nA=1\r\n[Settings]\r\nDebuggLog=1\r\nB=2\r\n");
  EXPECT_EQ(ReadProfileString(file, u"settings", u"DebuggLog", u"-"), u"0");
  EXPECT_EQ(ReadProfileString(file, u"settings", u"B", u"-"), u"-");
  EXPECT_EQ(ReadProfileKeys(file, u"settings"), (Keys{u"DebuggLog"}));
}

TEST_F(IniProfileTest, LongValuesAndLongKeyListsComeWhole) {
  // Longer than any first buffer a reader would guess.
  const std::string value(5000, 'v');
  std::string content = "[settings]\r\nLong=" + value + "\r\n[defines]\r\n";
  Keys keys;
  for (int i = 0; i < 300; ++i) {
    std::string key = "Define" + std::to_string(i);
    content += key + "=1\r\n";
    keys.push_back(std::u16string(key.begin(), key.end()));
  }
  std::u16string file = Write(content);
  EXPECT_EQ(ReadProfileString(file, u"settings", u"Long", u"-"),
            std::u16string(value.begin(), value.end()));
  EXPECT_EQ(ReadProfileKeys(file, u"defines"), keys);
}

TEST_F(IniProfileTest, LinesEndedByLineFeedsAloneAndALastLineWithoutEnd) {
  std::u16string file = Write("[settings]\nA = 1 \nB=\t2");
  EXPECT_EQ(ReadProfileString(file, u"settings", u"A", u"-"), u"1");
  EXPECT_EQ(ReadProfileString(file, u"settings", u"B", u"-"), u"2");
  EXPECT_EQ(ReadProfileKeys(file, u"settings"), (Keys{u"A", u"B"}));
}

TEST_F(IniProfileTest, WhatCannotBeReadGivesTheFallback) {
  fs::create_directory(dir_.folder() / "FOLDER.INI");
  // Test tuple <file, what stands there>
  const struct {
    fs::path file;
    const char* what;
  } cases[] = {
      {dir_.folder() / "NONE.INI", "no file"},
      {dir_.folder() / "FOLDER.INI", "a folder"},
      {dir_.folder() / "missing" / "MKLOG.INI", "no folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ReadProfileString(c.file.u16string(), u"settings", u"DebuggLog", u"fallback"),
              u"fallback");
    EXPECT_TRUE(ReadProfileKeys(c.file.u16string(), u"settings").empty());
  }
  std::u16string empty = Write("");
  EXPECT_EQ(ReadProfileString(empty, u"settings", u"DebuggLog", u""), u"");
  EXPECT_TRUE(ReadProfileKeys(empty, u"settings").empty());
}

} // namespace
