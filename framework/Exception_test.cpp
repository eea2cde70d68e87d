// The base failure class: its name in reports and the place it was raised.
#include "framework/Exception.h"

#include "platform/module.h"

#include <gtest/gtest.h>

#include <string>

namespace {

SA_DECLARE_EXCEPTION(ETestFailure, Exception);

TEST(ExceptionTest, NamesItsClassAndMarksTheRaiseSite) {
  const void* before = platform::CurrentCodeAddress();
  try {
    throw ETestFailure(u"broken");
  } catch (const Exception& e) {
    EXPECT_EQ(std::u16string(e.ClassName()), u"ETestFailure");
    EXPECT_EQ(e.Message(), u"broken");
    EXPECT_STREQ(e.what(), "broken");
    // The raise site lies in this function, shortly after the first marker.
    auto distance = static_cast<const char*>(e.RaiseAddress()) - static_cast<const char*>(before);
    EXPECT_GT(distance, 0);
    EXPECT_LT(distance, 4096);
    platform::ModuleOfCode module = platform::FindModuleOfAddress(e.RaiseAddress());
    EXPECT_TRUE(module.found);
    EXPECT_EQ(module.path, platform::OwnModuleFileName());
  }
}

} // namespace
