// Boxes as the user meets them: a real box closed with OK where boxes exist, the title
// and text on standard error elsewhere.
#include "platform/message_box.h"

#include "platform/test_support/box_watcher.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t kFailureBox =
    platform::kBoxOk | platform::kBoxIconError | platform::kBoxTaskModal;

TEST(MessageBoxTest, BoxShowsItsTitleAndTextUntilClosed) {
  BoxWatcher watcher(u"SA platform box \u00E9");
  platform::ShowMessageBox(u"SA platform box \u00E9", u"Out of memory \u4E2D", kFailureBox);
  watcher.Stop();
  EXPECT_EQ(watcher.Count(), 1);
  EXPECT_EQ(watcher.LastText(), u"Out of memory \u4E2D");
}

TEST(MessageBoxTest, AnsiBoxShowsItsTexts) {
  BoxWatcher watcher(u"SA platform ANSI box");
  platform::ShowMessageBoxAnsi("SA platform ANSI box", "Runtime error 217 at 0040A1B2",
                               kFailureBox);
  watcher.Stop();
  EXPECT_EQ(watcher.Count(), 1);
  EXPECT_EQ(watcher.LastText(), u"Runtime error 217 at 0040A1B2");
}

} // namespace
