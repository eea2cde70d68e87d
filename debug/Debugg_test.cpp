// The trace dispatcher and the defines list.
#include "debug/Debugg.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::u16string> heard;
void Listen(const std::u16string& text) {
  heard.push_back(text);
}

} // namespace

TEST(DebuggTest, TraceReachesTheListenerOnceUnchanged) {
  TTraceListener saved = TraceListener();
  SetTraceListener(nullptr);
  heard.clear();
  DebugTrace(u"dropped"); // no listener yet
  SetTraceListener(Listen);
  DebugTrace(u"");
  DebugTrace(u"two\r\nlines");
  SetTraceListener(saved);
  EXPECT_EQ(heard, (std::vector<std::u16string>{u"", u"two\r\nlines"}));
}

TEST(DebuggTest, DefinesSortedCaseInsensitiveFirstFormKept) {
  InitDebugg();
  for (const char16_t* name : {u"Zeta", u"alpha", u"ALPHA", u"Beta", u"beta", u"gamma"})
    AddDefine(name);
  EXPECT_EQ(Defines(), (std::vector<std::u16string>{u"alpha", u"Beta", u"gamma", u"Zeta"}));
  DoneDebugg();
  EXPECT_TRUE(Defines().empty());
}
