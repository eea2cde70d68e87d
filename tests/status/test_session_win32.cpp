// A Windows session with an idle source: the desktop the tests run on.
#include "tests/status/StatusFixture.h"

namespace status_test {
namespace {

class DesktopSession : public TestSession {
public:
  Variables SessionVariables() const override { return {}; }
};

} // namespace

std::unique_ptr<TestSession> TestSession::Start(std::string&) {
  return std::make_unique<DesktopSession>();
}

} // namespace status_test
