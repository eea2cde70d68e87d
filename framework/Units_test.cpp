// The order in which units start and end, also when a start fails.
#include "framework/Units.h"

#include "framework/Exception.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SA_DECLARE_EXCEPTION(ETestFailure, Exception);

std::vector<std::string> journal;
void StartA() {
  journal.push_back("start A");
}
void EndA() {
  journal.push_back("end A");
}
void StartB() {
  journal.push_back("start B");
}
void EndB() {
  journal.push_back("end B");
}
void StartFails() {
  journal.push_back("start F");
  throw ETestFailure(u"no");
}
void EndF() {
  journal.push_back("end F");
}

TEST(UnitsTest, EndInReverseOnce) {
  journal.clear();
  const Unit units[] = {{"A", StartA, EndA}, {"B", StartB, EndB}};
  StartUnits(units);
  EXPECT_EQ(StartedUnitCount(), 2);
  EndUnits();
  EndUnits();
  EXPECT_EQ(journal, (std::vector<std::string>{"start A", "start B", "end B", "end A"}));
}

TEST(UnitsTest, FailedStartEndsTheStartedOnesAndItself) {
  journal.clear();
  const Unit units[] = {{"A", StartA, EndA}, {"F", StartFails, EndF}, {"B", StartB, EndB}};
  EXPECT_THROW(StartUnits(units), ETestFailure);
  EXPECT_EQ(StartedUnitCount(), 0);
  EXPECT_EQ(journal, (std::vector<std::string>{"start A", "start F", "end F", "end A"}));
}

} // namespace
