// Comparing texts as the user's locale orders them, without regard to case.
#include "platform/collation.h"

#include <gtest/gtest.h>

namespace {

int Sign(int value) {
  return (value > 0) - (value < 0);
}

TEST(CollationTest, CaseIsIgnoredAndOrderIsAlphabetical) {
  // Test tuple <a, b, sign of the comparison>
  const struct {
    std::u16string a, b;
    int sign;
  } cases[] = {
      {u"DebuggLog", u"debugglog", 0},
      {u"", u"", 0},
      {u"a", u"B", -1}, // alphabetical, where code order would put "B" first
      {u"Zeta", u"alpha", 1},
      {u"", u"a", -1},
      {u"Define", u"define2", -1},
      {u"one", u"two", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a.begin(), c.a.end()) + " / " + std::string(c.b.begin(), c.b.end()));
    EXPECT_EQ(Sign(platform::CompareTextIgnoreCase(c.a, c.b)), c.sign);
    EXPECT_EQ(Sign(platform::CompareTextIgnoreCase(c.b, c.a)), -c.sign);
  }
}

} // namespace
