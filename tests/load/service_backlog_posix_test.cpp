// A busy service on Linux must hold the waiting connections of many agents: each report
// leaves two closed presence probes and its own connection in the listening socket's
// queue until the service accepts them, and a full queue ends an agent with exit code 1.
#include "pipes/uPipes.h"
#include "platform/pipe_server.h"
#include "tests/pipes/PipeTestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(ServiceBacklogPosixTest, ConnectionsOfSixtyFourAgentsWaitWhileTheServiceIsBusy) {
  testservice::ScopedPipePlace place;
  std::unique_ptr<platform::PipeServer> server = platform::PipeServer::Create(place.Name());
  ASSERT_TRUE(server);
  TPipeClient client(place.Name());
  // Nothing is accepted meanwhile: the service is busy with one transaction.
  for (int i = 0; i < 3 * 64; ++i) {
    SCOPED_TRACE("connection " + std::to_string(i));
    ASSERT_TRUE(client.ServerPresent());
  }
}

} // namespace
