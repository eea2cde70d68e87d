// The message pump against the real thread queue.
#include "framework/Application.h"

#include "platform/win32/win_support.h"

#include <gtest/gtest.h>

TEST(ApplicationWin32Test, QuitWithMessagesBehindItIsHandledInOneCall) {
  TApplication app;
  PostQuitMessage(0);
  PostThreadMessageW(GetCurrentThreadId(), WM_USER + 1, 0, 0);
  PostThreadMessageW(GetCurrentThreadId(), WM_USER + 2, 0, 0);
  app.ProcessMessages();
  EXPECT_TRUE(app.Terminated());
  MSG msg;
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) << msg.message;
}

TEST(ApplicationWin32Test, QuitPostedToTheWindowCountsLikeOnePostedToTheThread) {
  TApplication app;
  HWND window = FindWindowW(L"TApplication", nullptr);
  ASSERT_NE(window, nullptr);
  PostMessageW(window, WM_QUIT, 0, 0);
  app.ProcessMessages();
  EXPECT_TRUE(app.Terminated());
}
