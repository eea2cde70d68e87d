// InputHook's arithmetic, start and failures, over a fake platform library.
#include "common/Scheduler/Utils/InputHook.h"

#include "common/Scheduler/Utils/InputHookSource.h"
#include "framework/Exception.h"
#include "framework/Units.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

namespace {

// What the fake library answers: one input tick per query and one tick count per
// reading, consumed in order.
struct FakePlatform {
  bool loadable = true;
  bool hasFunction = true;
  int loads = 0;
  bool alive = false;
  std::deque<std::uint32_t> inputTicks;
  std::deque<std::uint32_t> tickCounts;
  platform::LastInputQuery answer = platform::LastInputQuery::kAnswered;
} fake;

class FakeSource : public platform::LastInputSource {
public:
  FakeSource() { fake.alive = true; }
  ~FakeSource() override { fake.alive = false; }
  bool FindLastInputFunction() override { return fake.hasFunction; }
  const char* Name() const override { return "fake"; }
  platform::LastInputQuery LastInputTick(std::uint32_t& tick) override {
    if (fake.answer == platform::LastInputQuery::kAnswered) {
      tick = fake.inputTicks.front();
      fake.inputTicks.pop_front();
    }
    return fake.answer;
  }
  std::uint32_t TickCount() override {
    std::uint32_t tick = fake.tickCounts.front();
    fake.tickCounts.pop_front();
    return tick;
  }
};

platform::IdleSourceChoice LoadFake() {
  ++fake.loads;
  platform::IdleSourceChoice choice;
  if (fake.loadable)
    choice.source = std::make_unique<FakeSource>();
  else
    choice.notTaken = {{"fake", "the fake cannot be loaded"}};
  return choice;
}

class InputHookTest : public testing::Test {
protected:
  void SetUp() override {
    fake = FakePlatform{};
    SetLastInputLoader(LoadFake);
  }
  void TearDown() override {
    DoneInputHook();
    SetLastInputLoader(nullptr);
  }
  void Answer(std::uint32_t inputTick, std::uint32_t tickCount) {
    fake.inputTicks.push_back(inputTick);
    fake.tickCounts.push_back(tickCount);
  }
};

TEST_F(InputHookTest, ReadingsInUnsigned32BitArithmetic) {
  // Test tuple <last input tick, tick count, seconds, minutes>
  struct Case {
    std::uint32_t input, now, seconds, minutes;
  } cases[] = {
      {5000, 5000, 0, 0},          // input at this very moment
      {1000, 1000 + 59999, 59, 0}, //
      {1000, 1000 + 60000, 60, 1}, //
      {4294966296u, 1000, 2, 0},   // the tick count wrapped since the input
      {1, 0, 4294967, 71582},      // 2^32 - 1 ms: the longest idle time there is
  };
  ASSERT_TRUE(InitInputHook());
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.input << " -> " << c.now);
    Answer(c.input, c.now);
    EXPECT_EQ(GetInputIdleSeconds(), c.seconds);
    Answer(c.input, c.now);
    EXPECT_EQ(GetInputIdleMinutes(), c.minutes);
  }
}

TEST_F(InputHookTest, EachReadingMeasuresForItself) {
  ASSERT_TRUE(InitInputHook());
  // 119 999 ms, then 120 000 ms a moment later: 119 seconds, then 2 minutes.
  Answer(0, 119999);
  Answer(0, 120000);
  EXPECT_EQ(GetInputIdleSeconds(), 119u);
  EXPECT_EQ(GetInputIdleMinutes(), 2u);
  // Input between the two readings.
  Answer(0, 300000);
  Answer(300000, 300010);
  EXPECT_EQ(GetInputIdleSeconds(), 300u);
  EXPECT_EQ(GetInputIdleMinutes(), 0u);
  EXPECT_TRUE(fake.inputTicks.empty());
  EXPECT_TRUE(fake.tickCounts.empty());
}

TEST_F(InputHookTest, SecondStartKeepsTheLoadedLibrary) {
  EXPECT_TRUE(InitInputHook());
  EXPECT_TRUE(InitInputHook());
  EXPECT_EQ(fake.loads, 1);
  DoneInputHook();
  EXPECT_FALSE(fake.alive);
}

TEST_F(InputHookTest, LibraryNotLoadableStartsSilentlyAndReadsZero) {
  fake.loadable = false;
  EXPECT_FALSE(InitInputHook());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(GetInputIdleSeconds(), 0u);
    EXPECT_EQ(GetInputIdleMinutes(), 0u);
  }
}

TEST_F(InputHookTest, PlatformFailureReadsZero) {
  ASSERT_TRUE(InitInputHook());
  fake.answer = platform::LastInputQuery::kFailed;
  fake.tickCounts = {999999, 999999};
  EXPECT_EQ(GetInputIdleSeconds(), 0u);
  EXPECT_EQ(GetInputIdleMinutes(), 0u);
}

TEST_F(InputHookTest, MissingFunctionFailsTheStartAndReleasesTheLibrary) {
  fake.hasFunction = false;
  const Unit units[] = {{"InputHook", [] { InitInputHook(); }, DoneInputHook}};
  try {
    StartUnits(units);
    FAIL() << "the start succeeded";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message(), u"Failed to find GetLastInputInfo in DLL! "
                           u"(common\\Scheduler\\Utils\\InputHook, line 165)");
  }
  EXPECT_EQ(StartedUnitCount(), 0);
  EXPECT_FALSE(fake.alive);
}

// What the unit says on standard error about the choice it was given.
platform::IdleSourceChoice GivenChoice;
platform::IdleSourceChoice TakeGivenChoice() {
  return std::move(GivenChoice);
}

TEST(InputHookChoiceTest, SaysOnceWhereTheIdleTimeComesFrom) {
  // Test tuple <choice, whether it is to be said, standard error>
  struct Case {
    bool source;
    std::string incomplete;
    std::vector<platform::IdleSourceChoice::NotTaken> notTaken;
    bool toBeSaid;
    std::string err;
  } cases[] = {
      {true, "", {}, true, "SchedulerAgent: idle time from fake\n"},
      {true, "", {{"mutter", "no bus"}}, true, "SchedulerAgent: idle time from fake\n"},
      {false,
       "",
       {{"wayland", "no compositor"}, {"mutter", "no bus"}},
       true,
       "SchedulerAgent: idle time unknown, reported as 0: no compositor; no bus\n"},
      {true, "libX.so.1 lacks XFunction", {}, true, "SchedulerAgent: libX.so.1 lacks XFunction\n"},
      // A system with one source says nothing of it.
      {true, "", {}, false, ""},
      {false, "", {{"GetLastInputInfo", "no user32"}}, false, ""},
  };
  SetLastInputLoader(TakeGivenChoice);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.err);
    fake = FakePlatform{};
    fake.hasFunction = c.incomplete.empty();
    if (c.source)
      GivenChoice.source = std::make_unique<FakeSource>();
    GivenChoice.incomplete = c.incomplete;
    GivenChoice.notTaken = c.notTaken;
    GivenChoice.toBeSaid = c.toBeSaid;
    testing::internal::CaptureStderr();
    try {
      InitInputHook();
    } catch (const EAssertionFailed&) {
      EXPECT_FALSE(c.incomplete.empty());
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.err);
    DoneInputHook();
  }
  SetLastInputLoader(nullptr);
}

} // namespace
