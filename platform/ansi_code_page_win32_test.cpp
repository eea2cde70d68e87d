// The ANSI code page on Windows: what code page 1252 holds keeps its own bytes.
#include "platform/ansi_code_page.h"

#include "platform/win32/win_support.h"

#include <gtest/gtest.h>

TEST(AnsiCodePageWin32Test, KeepsWhatTheCodePageCanRepresent) {
  if (GetACP() != 1252)
    GTEST_SKIP() << "the test knows code page 1252 only, this system uses " << GetACP();
  EXPECT_EQ(platform::ToAnsiCodePage(u"a\u00E9\u20AC\u4E2D"), "a\xE9\x80?");
}
