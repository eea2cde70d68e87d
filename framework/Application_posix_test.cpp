// Failures raised in message handling, where boxes are written to standard error.
#include "framework/Application.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(ApplicationPosixTest, HandleExceptionDropsAbortAndShowsOtherFailures) {
  TApplication app;
  // Test tuple <failure, what standard error shows>
  const std::pair<std::exception_ptr, std::string> cases[] = {
      {std::make_exception_ptr(EAbort(u"quiet")), ""},
      {std::make_exception_ptr(EListError(u"List index out of bounds (3)")),
       "host_tests\nList index out of bounds (3)\n"},
      {std::make_exception_ptr(EOSError(u"Done.", 5)), "host_tests\nDone.\n"},
  };
  for (const auto& [failure, shown] : cases) {
    SCOPED_TRACE(shown);
    testing::internal::CaptureStderr();
    app.HandleException(failure);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), shown);
  }
  // Not one of the runtime's failures: the unhandled-failure box, and the process lives on.
  testing::internal::CaptureStderr();
  app.HandleException(std::make_exception_ptr(std::runtime_error("x")));
  std::string shown = testing::internal::GetCapturedStderr();
  EXPECT_EQ(shown.find("Application Error\nException Exception in module "), 0u) << shown;
}
