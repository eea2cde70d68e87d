// The agent with a log it cannot write and with switch files that are empty, binary,
// huge or repetitive: it reports as always, and logs exactly when the switch says so.
#include "tests/faults/FaultFixture.h"

#include <random>

using namespace fault_test;

namespace {

TEST_F(FaultTest, DebuggLogBeingAFolderDropsEveryEntryAndLeavesTheFolderAlone) {
  WriteIni(kLogOn);
  std::filesystem::create_directory(dir / "Debugg.log");
  WriteFileBytes(dir / "Debugg.log/inside.txt", "kept");
  StartService("echo");
  auto agent = StartAgent();
  ASSERT_TRUE(WaitForRequests(1, kLongWait)) << agent->Stderr();
  ASSERT_NO_FATAL_FAILURE(QuitAndExpectCleanEnd(*agent));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "Debugg.log"));
  EXPECT_EQ(ReadFileBytes(dir / "Debugg.log/inside.txt"), "kept");
  size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "Debugg.log")) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1u);
}

std::string Binary(size_t size) {
  std::mt19937 random(11);
  std::string bytes(size, '\0');
  for (char& c : bytes)
    c = static_cast<char>(random());
  return bytes;
}

/// About 10 MiB of one section's keys, then the switch.
std::string Huge() {
  std::string text = "[filler]\r\n";
  const std::string value(200, 'v');
  for (int i = 0; text.size() < 10 * 1024 * 1024; ++i)
    text += "key" + std::to_string(i) + "=" + value + "\r\n";
  return text + "[settings]\r\nDebuggLog=1\r\n";
}

TEST_F(FaultTest, SwitchFileOfAnyShapeNeitherStopsNorSlowsTheAgent) {
  // Test tuple <case, MKLOG.INI, logging on>
  const std::tuple<const char*, std::string, bool> cases[] = {
      {"empty", "", false},
      {"binary", Binary(64 * 1024), false},
      {"10 MiB", Huge(), true},
      {"first of duplicate keys wins", "[settings]\r\nDebuggLog=1\r\nDebuggLog=0\r\n", true},
      {"first of duplicate keys wins, off", "[settings]\r\nDebuggLog=0\r\nDebuggLog=1\r\n", false},
      {"first of duplicate sections counts",
       "[settings]\r\nDebuggLog=1\r\n[defines]\r\nA=1\r\nA=1\r\n[SETTINGS]\r\nDebuggLog=0\r\n"
       "[defines]\r\nB=1\r\n",
       true},
      {"first of duplicate sections counts, off",
       "[settings]\r\nDebuggLog=0\r\n[Settings]\r\nDebuggLog=1\r\n", false},
  };
  StartService("echo");
  for (const auto& [name, ini, on] : cases) {
    SCOPED_TRACE(name);
    std::filesystem::remove(dir / "Debugg.log");
    std::filesystem::remove(dir / "requests.bin");
    WriteIni(ini);
    auto agent = StartAgent();
    ASSERT_TRUE(WaitForRequests(0, kLongWait)) << agent->Stderr();
    ASSERT_NO_FATAL_FAILURE(QuitAndExpectCleanEnd(*agent));
    ASSERT_EQ(PathExists(dir / "Debugg.log"), on);
    if (on) {
      std::vector<std::string> texts = TraceTexts(Log());
      ASSERT_GE(texts.size(), 6u);
      EXPECT_EQ(texts.front(), "Debugg logging started.");
      EXPECT_EQ(texts.back(), "SchedulerAgent: Finish");
      ExpectWholeEntries(Log());
    }
  }
}

} // namespace
