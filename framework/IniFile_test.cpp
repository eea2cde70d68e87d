// INI reading: the same rules on both targets (Windows: the system's profile functions,
// Linux: our reader), and the runtime's whole numbers.
#include "framework/IniFile.h"

#include "tests/support/scoped_temp_dir.h"
#include "text/TextConvert.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

class IniFileTest : public testing::Test {
protected:
  TIniFile Write(const std::string& content) {
    std::filesystem::path file = dir_.folder() / "TEST.INI";
    std::ofstream(file, std::ios::binary) << content;
    return TIniFile(file.u16string());
  }

  testing_support::ScopedTempDir dir_;
};

TEST_F(IniFileTest, NamesIgnoreCaseValuesTrimmedFirstDuplicateWins) {
  TIniFile ini = Write("; a comment\r\n"
                       "[Settings]\r\n"
                       "  DebuggLog =  1  \r\n"
                       "Empty=\r\n"
                       "Quoted = \"a b\"\r\n"
                       "dup=first\r\n"
                       "DUP=second\r\n"
                       "Spaced = two words here \r\n"
                       "[defines]\n"
                       "Beta=1\n"
                       "alpha = 0\n"
                       "Gamma=yes\n");
  EXPECT_EQ(ini.ReadString(u"settings", u"debugglog", u"-"), u"1");
  EXPECT_EQ(ini.ReadString(u"SETTINGS", u"Empty", u"-"), u"");
  EXPECT_EQ(ini.ReadString(u"settings", u"missing", u"-"), u"-");
  EXPECT_EQ(ini.ReadString(u"nosection", u"DebuggLog", u"-"), u"-");
  EXPECT_EQ(ini.ReadString(u"settings", u"Quoted", u"-"), u"a b");
  EXPECT_EQ(ini.ReadString(u"settings", u"dup", u"-"), u"first");
  EXPECT_EQ(ini.ReadString(u"settings", u"spaced", u"-"), u"two words here");
  EXPECT_EQ(ini.ReadString(u"defines", u"Beta", u"-"), u"1");
  EXPECT_EQ(ini.ReadSection(u"DEFINES"),
            (std::vector<std::u16string>{u"Beta", u"alpha", u"Gamma"}));
  EXPECT_TRUE(ini.ReadSection(u"nosection").empty());
  EXPECT_TRUE(ini.ReadBool(u"settings", u"DebuggLog", false));
  EXPECT_FALSE(ini.ReadBool(u"defines", u"Gamma", false));
  EXPECT_TRUE(ini.ReadBool(u"defines", u"missing", true));
}

TEST_F(IniFileTest, MissingFileReadsAsAbsent) {
  TIniFile ini((dir_.folder() / "NONE.INI").u16string());
  EXPECT_EQ(ini.ReadString(u"settings", u"DebuggLog", u"-"), u"-");
  EXPECT_TRUE(ini.ReadSection(u"defines").empty());
  EXPECT_EQ(ini.ReadInteger(u"settings", u"DebuggLog", 7), 7);
}

TEST(ParseIntegerTest, DecimalAndHexadecimalWithSign) {
  // Test tuple <text, expected value or none>
  struct Case {
    const char16_t* text;
    std::optional<std::int32_t> value;
  } cases[] = {
      {u"0", 0},
      {u"1", 1},
      {u"-1", -1},
      {u"+7", 7},
      {u"0x10", 16},
      {u"0X1f", 31},
      {u"$ff", 255},
      {u"-$10", -16},
      {u"-0x10", -16},
      {u"$FFFFFFFF", -1},
      {u"2147483647", 2147483647},
      {u"-2147483648", -2147483647 - 1},
      {u"2147483648", std::nullopt},
      {u"$100000000", std::nullopt},
      {u"", std::nullopt},
      {u"true", std::nullopt},
      {u"yes", std::nullopt},
      {u"1.0", std::nullopt},
      {u"0x", std::nullopt},
      {u"$", std::nullopt},
      {u"-", std::nullopt},
      {u"- 1", std::nullopt},
      {u"0xg", std::nullopt},
      {u"12ab", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.text));
    EXPECT_EQ(ParseInteger(c.text), c.value);
  }
}

} // namespace
