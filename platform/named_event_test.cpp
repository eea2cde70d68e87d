// The named auto-reset event a service signals when it is ready: one signal shared by
// every opener of the name, consumed by one wait.
#include "platform/named_event.h"

#include "tests/pipes/PipeTestSupport.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using platform::NamedEvent;

class NamedEventTest : public testing::Test {
protected:
  void TearDown() override { NamedEvent::Remove(name_); }

  testservice::ScopedPipePlace place_;
  // The name a service's ready event has beside its pipe.
  const std::u16string name_ = u"event" + place_.Name();
};

TEST_F(NamedEventTest, OpenersShareOneSignalThatOneWaitConsumes) {
  auto server = NamedEvent::Open(name_);
  auto client = NamedEvent::Open(name_);
  ASSERT_TRUE(server);
  ASSERT_TRUE(client);
  EXPECT_FALSE(client->Wait(0)) << "a new event starts unsignalled";
  EXPECT_TRUE(server->Signal());
  // A second signal before any wait adds nothing.
  EXPECT_TRUE(server->Signal());
  EXPECT_TRUE(client->Wait(0));
  EXPECT_FALSE(client->Wait(0));
  EXPECT_FALSE(server->Wait(0));
}

TEST_F(NamedEventTest, SignalFromAnotherThreadEndsAWaitAndNoSignalTimesOut) {
  auto waiter = NamedEvent::Open(name_);
  ASSERT_TRUE(waiter);
  // The signal comes once the waiter is about to wait; should it come first, the wait
  // finds it set all the same.
  std::atomic<bool> waiting{false};
  std::thread signaller([&] {
    ASSERT_TRUE(testing_support::WaitUntil([&] { return waiting.load(); }, 10000));
    NamedEvent::Open(name_)->Signal();
  });
  waiting = true;
  EXPECT_TRUE(waiter->Wait(20000));
  signaller.join();

  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(waiter->Wait(100));
  // Not before its time, allowing for a coarse system tick.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(80));
}

TEST_F(NamedEventTest, RemovedNameStartsAfreshUnsignalled) {
  NamedEvent::Open(name_)->Signal();
  NamedEvent::Remove(name_);
  auto again = NamedEvent::Open(name_);
  ASSERT_TRUE(again);
  EXPECT_FALSE(again->Wait(0));
  // Removing a name nobody has is harmless.
  NamedEvent::Remove(name_ + u"-none");
}

} // namespace
