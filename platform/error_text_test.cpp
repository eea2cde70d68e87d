// The thread's last error code and the system's texts for codes.
#include "platform/error_text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(ErrorTextTest, LastErrorCodeBelongsToTheThread) {
  // The threads take turns by spinning, so that no system call between setting and
  // reading a code may change it.
  std::atomic<int> step{0};
  std::uint32_t other = 0;
  std::thread thread([&] {
    while (step.load() != 1) {
    }
    platform::SetLastErrorCode(2);
    other = platform::LastErrorCode();
    step = 2;
  });
  platform::SetLastErrorCode(5);
  step = 1;
  while (step.load() != 2) {
  }
  const std::uint32_t mine = platform::LastErrorCode();
  thread.join();
  EXPECT_EQ(mine, 5u);
  EXPECT_EQ(other, 2u);
}

TEST(ErrorTextTest, KnownCodesHaveTextsOfTheirOwn) {
  // 2 and 5: file not found and access denied on Windows, ENOENT and EIO on Linux.
  const std::u16string notFound = platform::SystemErrorText(2);
  const std::u16string other = platform::SystemErrorText(5);
  EXPECT_FALSE(notFound.empty());
  EXPECT_FALSE(other.empty());
  EXPECT_NE(notFound, other);
  EXPECT_EQ(notFound.find(u'\0'), std::u16string::npos);
}

} // namespace
