// The main loop's pause on Linux: a signal only records itself, the pause goes on.
#include "platform/process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <pthread.h>
#include <thread>

namespace {

volatile std::sig_atomic_t signalsSeen = 0;

TEST(ProcessPosixTest, SleepIsNotShortenedBySignals) {
  // A handler without SA_RESTART: the signal interrupts the pause.
  struct sigaction action {
  }, saved{};
  action.sa_handler = [](int) { signalsSeen = signalsSeen + 1; };
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(sigaction(SIGUSR1, &action, &saved), 0);
  pthread_t sleeper = pthread_self();
  std::thread signaller([sleeper] {
    for (int i = 0; i < 5; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      pthread_kill(sleeper, SIGUSR1);
    }
  });
  auto start = std::chrono::steady_clock::now();
  platform::Sleep(300);
  auto slept = std::chrono::steady_clock::now() - start;
  signaller.join();
  sigaction(SIGUSR1, &saved, nullptr);
  EXPECT_GT(signalsSeen, 0);
  EXPECT_GE(slept, std::chrono::milliseconds(300));
}

} // namespace
