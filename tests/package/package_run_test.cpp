// Runs the agent as installed from a package, against the reference service of the
// same package set: reports must arrive, and the documented debug switch must work in
// the installed folder. SA_PACKAGE_DIR names the unpacked agent folder.
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using testing_support::ChildProcess;
using testing_support::ExecutableName;
using testing_support::PathExists;
using testing_support::QuitRoute;
using testing_support::ReadFileBytes;
using testing_support::ScopedTempDir;
using testing_support::WriteFileBytes;

std::string PackageDir() {
  const char* dir = std::getenv("SA_PACKAGE_DIR");
  return dir ? dir : "";
}

std::string InPackage(const std::string& name) {
  std::string dir = PackageDir();
  char separator = dir.find('\\') != std::string::npos ? '\\' : '/';
  return dir + separator + name;
}

TEST(InstalledPackage, AgentReportsToTheServiceAndEndsCleanlyOnQuit) {
  ASSERT_FALSE(PackageDir().empty()) << "SA_PACKAGE_DIR must name the unpacked agent folder";
  std::string agent = InPackage(ExecutableName("SchedulerAgent"));
  std::string service = InPackage(ExecutableName("idle_service"));
  ASSERT_TRUE(PathExists(agent)) << agent;
  ASSERT_TRUE(PathExists(service)) << service;

  // An administrator switches the log on by putting the file beside the executable.
  std::string ini = InPackage("MKLOG.INI");
  std::string log = InPackage("Debugg.log");
  WriteFileBytes(ini, "[settings]\r\nDebuggLog=1\r\n");
  struct RemoveAfterwards {
    std::string ini, log;
    ~RemoveAfterwards() {
      std::remove(ini.c_str());
      std::remove(log.c_str());
    }
  } cleanup{ini, log};

  ScopedTempDir pipes; // the socket folder on Linux; Windows pipes need none
  ScopedTempDir output;
  std::vector<std::pair<std::string, std::string>> environment = {{"NAMED_PIPE_DIR", pipes.path()}};
  ChildProcess serviceProcess(service, {}, environment, output.path());
  ASSERT_TRUE(serviceProcess.WaitForOutput("listening on", 20000)) << serviceProcess.Stdout();

  ChildProcess agentProcess(agent, {}, environment, output.path());
  // The service prints the common idle time once a session's report has arrived.
  ASSERT_TRUE(serviceProcess.WaitForOutput("common ", 20000))
      << "service:\n"
      << serviceProcess.Stdout() << "agent:\n"
      << agentProcess.Stderr();

  agentProcess.RequestQuit(QuitRoute::kThread);
  ASSERT_TRUE(agentProcess.WaitForExit(20000));
  EXPECT_EQ(agentProcess.ExitCode(), 0u);
  // Standard error holds the agent's own start-up line, which names its idle source, and
  // nothing else: a box would show there as its title and text.
  std::string shown = agentProcess.Stderr();
  const std::string startUpLine = "SchedulerAgent: idle time from ";
  if (shown.compare(0, startUpLine.size(), startUpLine) == 0)
    shown.erase(0, shown.find('\n') + 1);
  EXPECT_EQ(shown, "") << "no box may have been shown";

  std::string entries = ReadFileBytes(log);
  EXPECT_NE(entries.find(" : Program started.\r\n"), std::string::npos) << entries;
  EXPECT_NE(entries.find(" : SchedulerAgent: TCommonIdleClient.SendIdleTime\r\n"),
            std::string::npos)
      << entries;
  EXPECT_NE(entries.find(" : SchedulerAgent: Finish\r\n"), std::string::npos) << entries;
}

} // namespace
