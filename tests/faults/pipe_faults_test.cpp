// The agent against a service that is missing, comes and goes, or answers badly.
#include "tests/faults/FaultFixture.h"

using namespace fault_test;

namespace {

constexpr char kNoServer[] =
    "SchedulerAgent: TCommonIdleClient.SendIdleTime - No Common Idle Server";

/// Every request the service received is a whole idle report.
void ExpectWholeReports(const std::string& requests) {
  ASSERT_EQ(requests.size() % kRecordSize, 0u);
  for (size_t i = 0; i < requests.size() / kRecordSize; ++i) {
    SCOPED_TRACE("report " + std::to_string(i));
    std::string record = requests.substr(i * kRecordSize, kRecordSize);
    EXPECT_EQ(Word(record, 0), kRecordSize);
    EXPECT_EQ(Word(record, 4), 1u);
  }
}

TEST_F(FaultTest, ServiceAppearingMidRunGetsReportsFromTheNextCycleOn) {
  WriteIni(kLogOn);
  auto agent = StartAgent();
  ASSERT_TRUE(WaitForTrace(kNoServer, 1, kLongWait)) << agent->Stderr();
  StartService("echo");
  ASSERT_TRUE(WaitForRequests(1, kLongWait)) << agent->Stderr();
  agent->RequestQuit(QuitRoute::kThread);
  ASSERT_TRUE(agent->WaitForExit(kLongWait));
  EXPECT_EQ(agent->ExitCode(), 0u) << agent->Stderr();
  ExpectWholeReports(Requests());

  // Cycles without the service, then cycles that send; never the other way round.
  std::vector<std::string> texts = TraceTexts(Log());
  ASSERT_GE(texts.size(), 6u);
  auto lastMissing = std::find(texts.rbegin(), texts.rend(), kNoServer).base();
  size_t sends = 0;
  for (auto it = lastMissing; it != texts.end(); ++it)
    sends += *it == "SchedulerAgent: TCommonIdleClient.SendIdleTime";
  EXPECT_EQ(sends, 2 * RequestCount());
  EXPECT_EQ(texts.back(), "SchedulerAgent: Finish");
}

TEST_F(FaultTest, ServiceVanishingMidRunIsSkippedUntilItReturns) {
  WriteIni(kLogOn);
  StartService("echo");
  auto agent = StartAgent();
  ASSERT_TRUE(WaitForRequests(1, kLongWait)) << agent->Stderr();
  // Killed just after a report arrived, while the agent pauses: the next cycle's
  // presence test finds nothing.
  size_t count = RequestCount();
  ASSERT_TRUE(WaitForRequests(count, kLongWait));
  service->Kill();
  ASSERT_TRUE(service->WaitForExit(kLongWait));
  count = RequestCount();
  ASSERT_TRUE(WaitForTrace(kNoServer, 1, kLongWait)) << agent->Stderr();
  EXPECT_EQ(RequestCount(), count);

  StartService("echo");
  ASSERT_TRUE(WaitForRequests(count, kLongWait)) << agent->Stderr();
  ASSERT_NO_FATAL_FAILURE(QuitAndExpectCleanEnd(*agent));
  ExpectWholeReports(Requests());
  std::vector<std::string> texts = TraceTexts(Log());
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), "SchedulerAgent: Finish");
}

TEST_F(FaultTest, ServiceClosingBetweenPresenceTestAndTransactionEndsInTheBoxAndExitCode1) {
  WriteIni(kLogOn);
  StartService("close-after-probe");
  auto agent = StartAgent();
  ExpectPipeFailureEnd(*agent, "XExceptionPipeDoesNotExists|XExceptionPipeNotRespond");
  std::vector<std::string> texts = TraceTexts(Log());
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "SchedulerAgent: Finish"), 0);
  EXPECT_EQ(texts.back(), "SchedulerAgent: TCommonIdleClient.SendIdleTime");
  ExpectWholeEntries(Log());
}

TEST_F(FaultTest, RepliesUpToTheRecordSizeOfAnyContentAreDiscarded) {
  // Test tuple <service mode>: an empty reply, a short one, a whole record, random
  // lengths and bytes, and a slow service.
  for (const char* mode : {"reply:0", "reply:100", "reply:8224", "garbage:7", "delay:100"}) {
    SCOPED_TRACE(mode);
    std::filesystem::remove(dir / "requests.bin");
    StartService(mode);
    auto agent = StartAgent();
    ASSERT_TRUE(WaitForRequests(2, kLongWait)) << agent->Stderr();
    ASSERT_NO_FATAL_FAILURE(QuitAndExpectCleanEnd(*agent));
    ExpectWholeReports(Requests());
    service.reset();
  }
}

TEST_F(FaultTest, RepliesLongerThanTheRecordEndInTheBoxAndExitCode1) {
  // Test tuple <reply size>: one byte too many, and 1 MiB.
  for (const char* size : {"8225", "1048576"}) {
    SCOPED_TRACE(size);
    std::filesystem::remove(dir / "requests.bin");
    StartService(std::string("reply:") + size);
    auto agent = StartAgent();
    ExpectPipeFailureEnd(*agent, "XExceptionPipeNotRespond");
    // The first exchange failed, and the agent neither retried nor went on.
    EXPECT_EQ(RequestCount(), 1u);
    ExpectWholeReports(Requests());
    service.reset();
  }
}

} // namespace
