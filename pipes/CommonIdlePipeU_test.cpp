// The common-idle client against the test service on the service's real pipe name.
#include "pipes/CommonIdlePipeU.h"

#include "common/Scheduler/Utils/InputHook.h"
#include "common/Scheduler/Utils/InputHookSource.h"
#include "debug/Debugg.h"
#include "tests/pipes/PipeTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using testservice::Mode;
using testservice::Options;
using testservice::ServiceThread;

const std::u16string kTrace = u"SchedulerAgent: TCommonIdleClient.SendIdleTime";
const std::u16string kNoServerTrace =
    u"SchedulerAgent: TCommonIdleClient.SendIdleTime - No Common Idle Server";

std::vector<std::u16string> traces;
void Collect(const std::u16string& text) {
  traces.push_back(text);
}

// The idle time the fake input library reports, in milliseconds.
std::uint32_t idleMs = 0;

class FixedIdleSource : public platform::LastInputSource {
public:
  const char* Name() const override { return "fixed"; }
  bool FindLastInputFunction() override { return true; }
  platform::LastInputQuery LastInputTick(std::uint32_t& tick) override {
    tick = 1000000;
    return platform::LastInputQuery::kAnswered;
  }
  std::uint32_t TickCount() override { return 1000000 + idleMs; }
};

platform::IdleSourceChoice LoadFixedIdle() {
  platform::IdleSourceChoice choice;
  choice.source = std::make_unique<FixedIdleSource>();
  return choice;
}

class CommonIdleClientTest : public ::testing::Test {
protected:
  void SetUp() override {
    idleMs = 0;
    SetLastInputLoader(LoadFixedIdle);
    InitInputHook();
    savedListener = TraceListener;
    TraceListener = Collect;
    traces.clear();
  }
  void TearDown() override {
    TraceListener = savedListener;
    DoneInputHook();
    SetLastInputLoader(nullptr);
  }
  Options ServiceOptions(Mode mode) {
    Options options;
    options.recordPath = (place.Folder() / "requests.bin").string();
    options.mode = mode;
    return options;
  }
  std::string Recorded() { return testing_support::ReadFileBytes(place.Folder() / "requests.bin"); }

  /// The report the service must receive: zero but for Size, Msg and the two values.
  static std::string ExpectedReport(std::uint32_t seconds, std::uint32_t minutes) {
    std::string bytes(8224, '\0');
    std::uint32_t header[2] = {8224, 1};
    std::memcpy(bytes.data(), header, 8);
    std::memcpy(bytes.data() + 28, &seconds, 4);
    std::memcpy(bytes.data() + 32, &minutes, 4);
    return bytes;
  }

  testservice::ScopedPipePlace place;
  TTraceListener savedListener = nullptr;
};

TEST_F(CommonIdleClientTest, NoServiceTracesTwiceAndSendsNothing) {
  TCommonIdleClient client;
  EXPECT_NO_THROW(client.SendIdleTime());
  EXPECT_NO_THROW(client.SendIdleTime());
  EXPECT_EQ(traces, (std::vector<std::u16string>{kTrace, kNoServerTrace, kTrace, kNoServerTrace}));
}

TEST_F(CommonIdleClientTest, ReportCarriesSecondsAndMinutesAndNothingElse) {
  ServiceThread service(ServiceOptions(Mode::Echo));
  ASSERT_TRUE(service.Listening());
  TCommonIdleClient client;
  // Tuple <idle ms, seconds sent, minutes sent>: the minute boundary.
  struct Case {
    std::uint32_t ms, seconds, minutes;
  } cases[] = {{0, 0, 0}, {59999, 59, 0}, {60000, 60, 1}, {3599999, 3599, 59}};
  std::string expected;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ms);
    idleMs = c.ms;
    traces.clear();
    client.SendIdleTime();
    EXPECT_EQ(traces, (std::vector<std::u16string>{kTrace, kTrace}));
    expected += ExpectedReport(c.seconds, c.minutes);
    // Compared whole, not printed: a difference in 8 KiB of zeros reads badly.
    ASSERT_TRUE(Recorded() == expected) << "received " << Recorded().size() << " bytes";
  }
}

TEST_F(CommonIdleClientTest, QueryReadsTheServiceAnswerAndReportsGoOn) {
  Options options = ServiceOptions(Mode::Query);
  options.querySeconds = 125;
  options.queryMinutes = 2;
  ServiceThread service(options);
  ASSERT_TRUE(service.Listening());
  TCommonIdleClient client;
  EXPECT_EQ(client.CommonIdleSeconds(), 125u);
  EXPECT_EQ(client.CommonIdleMinutes(), 2u);
  EXPECT_TRUE(traces.empty()) << "queries are not traced";
  idleMs = 5000;
  client.SendIdleTime();

  std::string query(8224, '\0');
  std::uint32_t header[2] = {8224, 2};
  std::memcpy(query.data(), header, 8);
  EXPECT_TRUE(Recorded() == query + query + ExpectedReport(5, 0));
}

TEST_F(CommonIdleClientTest, QueryWithoutServiceRaises) {
  TCommonIdleClient client;
  EXPECT_THROW(client.CommonIdleSeconds(), XExceptionPipeDoesNotExists);
  EXPECT_THROW(client.CommonIdleMinutes(), XExceptionPipeDoesNotExists);
}

TEST_F(CommonIdleClientTest, ServiceGoneAfterThePresenceTestRaises) {
  ServiceThread service(ServiceOptions(Mode::CloseAfterProbe));
  ASSERT_TRUE(service.Listening());
  TCommonIdleClient client;
  EXPECT_THROW(client.SendIdleTime(), XPipeException);
  EXPECT_EQ(traces, (std::vector<std::u16string>{kTrace, kTrace}));
}

TEST_F(CommonIdleClientTest, ServiceClosingWithoutReplyRaises) {
  ServiceThread service(ServiceOptions(Mode::Close));
  ASSERT_TRUE(service.Listening());
  TCommonIdleClient client;
  EXPECT_THROW(client.SendIdleTime(), XExceptionPipeNotRespond);
  EXPECT_TRUE(Recorded() == ExpectedReport(0, 0)) << "the report reached the service";
}

} // namespace
