// The debug log: its switch file, the bytes of its entries, and its sharing between
// writers, against real files in a folder of the test's own.
#include "debug/TxtDebugg.h"

#include "debug/Debugg.h"
#include "platform/ansi_code_page.h"
#include "platform/log_file.h"
#include "tests/support/scoped_temp_dir.h"
#include "text/TextConvert.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

namespace fs = std::filesystem;

platform::LocalTime fakeNow;
platform::LocalTime FakeClock() {
  return fakeNow;
}

std::string Stamp(const platform::LocalTime& time) {
  return platform::ToAnsiCodePage(platform::FormatShortDate(time) + u" " +
                                  platform::FormatLongTime(time));
}

class TxtDebuggTest : public testing::Test {
protected:
  void SetUp() override {
    fakeNow = {2024, 3, 9, 14, 5, 7, 250};
    SetLogClock(FakeClock);
    InitDebugg();
  }
  void TearDown() override {
    DoneTxtDebugg();
    DoneDebugg();
    SetLogClock(nullptr);
    SetTraceListener(nullptr);
  }

  std::u16string Folder(const fs::path& folder) const {
    return folder.u16string() + static_cast<char16_t>(fs::path::preferred_separator);
  }
  std::u16string Folder() const { return Folder(root_); }

  void WriteIni(const std::string& content, const fs::path& folder) const {
    std::ofstream(folder / "MKLOG.INI", std::ios::binary) << content;
  }
  void WriteIni(const std::string& content) const { WriteIni(content, root_); }
  void SwitchOn() const { WriteIni("[settings]\r\nDebuggLog=1\r\n"); }

  std::string Log() const {
    std::ifstream file(root_ / "Debugg.log", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  bool LogExists() const { return fs::exists(root_ / "Debugg.log"); }

  testing_support::ScopedTempDir dir_;
  const fs::path& root_ = dir_.folder();
};

TEST_F(TxtDebuggTest, WithoutTheSwitchNothingIsWritten) {
  // Test tuple <MKLOG.INI content, or none>; a folder of that name counts as no file.
  const char* const settings[] = {nullptr, "[settings]\r\nDebuggLog=0\r\n",
                                  "[other]\r\nDebuggLog=1"};
  for (const char* content : settings) {
    SCOPED_TRACE(content ? content : "(no MKLOG.INI)");
    if (content)
      WriteIni(content);
    SetupDebuggLogIn(Folder());
    DebugTrace(u"Program started.");
    EXPECT_FALSE(LogEnabled());
    EXPECT_FALSE(LogExists());
  }
  fs::remove(root_ / "MKLOG.INI");
  fs::create_directory(root_ / "MKLOG.INI");
  SetupDebuggLogIn(Folder());
  EXPECT_FALSE(LogEnabled());
}

TEST_F(TxtDebuggTest, FirstEntryOfEachRunStandsBetweenEmptyLines) {
  SwitchOn();
  SetupDebuggLogIn(Folder());
  EXPECT_EQ(LogFileName(), Folder() + u"Debugg.log");
  EXPECT_EQ(TraceListener(), &WriteLogEntry);
  DebugTrace(u"Program started.");
  const std::string s = Stamp(fakeNow);
  const std::string firstRun =
      "\r\n\r\n" + s + " : Debugg logging started.\r\n\r\n" + s + " : Program started.\r\n";
  EXPECT_EQ(Log(), firstRun);
  EXPECT_FALSE(FirstEntry());

  // The next run appends.
  SetupDebuggLogIn(Folder());
  DebugTrace(u"again");
  EXPECT_EQ(Log(),
            firstRun + "\r\n\r\n" + s + " : Debugg logging started.\r\n\r\n" + s + " : again\r\n");
}

TEST_F(TxtDebuggTest, UnitStartTracesBothTextsBesideTheExecutable) {
  InitTxtDebugg();
  std::u16string name = LogFileName();
  ASSERT_GT(name.size(), 10u);
  EXPECT_EQ(name.substr(name.size() - 10), u"Debugg.log");
  DoneTxtDebugg();
  EXPECT_TRUE(LogFileName().empty());
  EXPECT_EQ(TraceListener(), &WriteLogEntry);
}

TEST_F(TxtDebuggTest, SwitchIsAWholeNumber) {
  // Test tuple <DebuggLog line, logging on>
  struct Case {
    const char* line;
    bool on;
  } cases[] = {
      {"DebuggLog=1", true},    {"debugglog = -1 ", true}, {"DebuggLog=0x10", true},
      {"DebuggLog=$10", true},  {"DebuggLog=0", false},    {"DebuggLog=true", false},
      {"DebuggLog=yes", false}, {"DebuggLog=", false},     {"Other=1", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    WriteIni(std::string("[Settings]\r\n") + c.line + "\r\n");
    SetupDebuggLogIn(Folder());
    EXPECT_EQ(LogEnabled(), c.on);
  }
}

TEST_F(TxtDebuggTest, DefinesSwitchedOnAreAddedEvenWithLoggingOff) {
  WriteIni("[settings]\r\nDebuggLog=0\r\n[defines]\r\nOne=1\r\nTwo=0\r\nThree=yes\r\nfour=$1\r\n");
  SetupDebuggLogIn(Folder());
  EXPECT_EQ(Defines(), (std::vector<std::u16string>{u"four", u"One"}));
}

TEST_F(TxtDebuggTest, FormatLogTextIndentsOnlyTextsWithCR) {
  // Test tuple <text, expected after the prefix "P : ">
  struct Case {
    std::u16string text, expected;
  } cases[] = {
      {u"", u""},
      {u"plain", u"plain"},
      {u"lf\nonly", u"lf\nonly"},
      {u"a\r\nb", u"a\r\n    b"},
      {u"a\rb", u"a\r    b"},
      {u"a\r\n\r\nb", u"a\r\n\r\n    b"},
      {u"a\nb\r\nc", u"a\n    b\r\n    c"},
      {u"\r\nx", u"\r\n    x"},
      {u"end\r\n", u"end\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.text));
    EXPECT_EQ(FormatLogText(u"P : ", c.text), u"P : " + c.expected);
  }
}

TEST_F(TxtDebuggTest, EntryShapes) {
  SwitchOn();
  SetupDebuggLogIn(Folder());
  const std::string s = Stamp(fakeNow);
  const std::string indent(s.size() + 3, ' ');
  std::string expected = "\r\n\r\n" + s + " : Debugg logging started.\r\n\r\n";
  DebugTrace(u"");
  expected += s + " : \r\n";
  DebugTrace(u"ends\r\n");
  expected += s + " : ends\r\n\r\n";
  DebugTrace(u"one\r\ntwo");
  expected += s + " : one\r\n" + indent + "two\r\n";
  // Outside every ANSI code page, and a surrogate without its partner.
  DebugTrace(u"x\u4E2D\xD800y");
  expected += s + " : x??y\r\n";
  EXPECT_EQ(Log(), expected);
}

TEST_F(TxtDebuggTest, MidnightShowsTheDateAlone) {
  SwitchOn();
  SetupDebuggLogIn(Folder());
  fakeNow = {2024, 3, 10, 0, 0, 0, 0};
  const std::string date = platform::ToAnsiCodePage(platform::FormatShortDate(fakeNow));
  DebugTrace(u"midnight");
  fakeNow.milliseconds = 1;
  DebugTrace(u"just after");
  std::string log = Log();
  EXPECT_NE(log.find("\r\n" + date + " : midnight\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\r\n" + Stamp(fakeNow) + " : just after\r\n"), std::string::npos) << log;
}

TEST_F(TxtDebuggTest, HeldLogIsNeverReplacedAndKeepsTheFirstEntryPending) {
  SwitchOn();
  std::ofstream(root_ / "Debugg.log", std::ios::binary) << "old\r\n";
  {
    // Another agent writes at this moment.
    auto other = platform::SharedLogFile::OpenForAppend(Folder() + u"Debugg.log");
    ASSERT_TRUE(other);
    SetupDebuggLogIn(Folder());
    DebugTrace(u"dropped");
    EXPECT_EQ(Log(), "old\r\n");
    EXPECT_TRUE(FirstEntry());
  }
  DebugTrace(u"second");
  const std::string s = Stamp(fakeNow);
  EXPECT_EQ(Log(), "old\r\n\r\n\r\n" + s + " : second\r\n\r\n");
  EXPECT_FALSE(FirstEntry());
}

TEST_F(TxtDebuggTest, UnwritableLogDropsEntriesSilently) {
  SwitchOn();
  fs::create_directory(root_ / "Debugg.log");
  SetupDebuggLogIn(Folder());
  DebugTrace(u"nowhere to go");
  EXPECT_TRUE(FirstEntry());
  EXPECT_TRUE(fs::is_directory(root_ / "Debugg.log"));
}

TEST_F(TxtDebuggTest, LogNameLongerThanTheLimitWritesNothing) {
  // Folders whose log name is exactly at the limit and one past it; the switch file's
  // name, one shorter, fits in both.
  for (size_t logLength : {kMaxLogPathLength, kMaxLogPathLength + 1}) {
    SCOPED_TRACE(logLength);
    size_t base = Folder().size();
    size_t folderLength = logLength - std::u16string(u"Debugg.log").size();
    ASSERT_GT(folderLength, base + 1);
    fs::path folder =
        root_ / std::string(folderLength - base - 1, static_cast<char>('a' + logLength % 2));
    std::error_code error;
    if (!fs::create_directory(folder, error))
      GTEST_SKIP() << "the system cannot make a folder of that length";
    ASSERT_EQ(Folder(folder).size(), folderLength);
    WriteIni("[settings]\r\nDebuggLog=1\r\n", folder);
    SetupDebuggLogIn(Folder(folder));
    EXPECT_TRUE(LogEnabled());
    DebugTrace(u"entry");
    size_t files = std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    EXPECT_EQ(fs::exists(folder / "Debugg.log"), logLength <= kMaxLogPathLength);
    EXPECT_EQ(files, logLength <= kMaxLogPathLength ? 2u : 1u);
  }
}

} // namespace
