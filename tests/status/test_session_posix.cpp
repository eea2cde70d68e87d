// A Linux session with an idle source: an X server of the test's own.
#include "tests/status/StatusFixture.h"
#include "tests/support/x_server_posix.h"

namespace status_test {
namespace {

class XSession : public TestSession {
public:
  explicit XSession(std::unique_ptr<testing_support::TestXServer> server)
      : server_(std::move(server)) {}
  Variables SessionVariables() const override { return {{"DISPLAY", server_->Display()}}; }

private:
  std::unique_ptr<testing_support::TestXServer> server_;
};

} // namespace

std::unique_ptr<TestSession> TestSession::Start(std::string& whyNot) {
  std::unique_ptr<testing_support::TestXServer> server = testing_support::TestXServer::Start();
  if (!server) {
    whyNot = "no X server of the test's own: Xvfb or xdotool is missing (scripts/deps.sh "
             "installs them) or none answered";
    return nullptr;
  }
  return std::make_unique<XSession>(std::move(server));
}

} // namespace status_test
