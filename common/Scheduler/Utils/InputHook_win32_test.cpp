// InputHook over the real user32.dll: idle time grows while nothing happens and drops
// to 0 after input.
#include "common/Scheduler/Utils/InputHook.h"

#include "platform/win32/win_support.h"

#include <gtest/gtest.h>

TEST(InputHookWin32Test, IdleGrowsUntilInput) {
  ASSERT_TRUE(InitInputHook());
  INPUT move{};
  move.type = INPUT_MOUSE;
  move.mi.dx = 3;
  move.mi.dy = 3;
  move.mi.dwFlags = MOUSEEVENTF_MOVE;
  ASSERT_EQ(SendInput(1, &move, sizeof(move)), 1u);
  Sleep(2300);
  std::uint32_t idle = GetInputIdleSeconds();
  EXPECT_GE(idle, 2u);
  EXPECT_LE(idle, 10u);
  EXPECT_EQ(GetInputIdleMinutes(), 0u);
  ASSERT_EQ(SendInput(1, &move, sizeof(move)), 1u);
  EXPECT_EQ(GetInputIdleSeconds(), 0u);
  DoneInputHook();
}
