// The listening side of a pipe: one server per name, time-outs, and what stopping
// leaves usable.
#include "platform/pipe_server.h"

#include "platform/error_text.h"
#include "platform/named_pipe.h"
#include "tests/pipes/PipeTestSupport.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::u16string PathOf(const std::u16string& name) {
  return u"\\\\.\\pipe\\" + name;
}

TEST(PipeServerTest, NameIsFreeAgainOnceItsServerIsGone) {
  testservice::ScopedPipePlace place;
  ASSERT_TRUE(platform::PipeServer::Create(place.Name())) << platform::LastErrorCode();
  auto next = platform::PipeServer::Create(place.Name());
  ASSERT_TRUE(next) << platform::LastErrorCode();
  EXPECT_TRUE(platform::WaitForPipeInstance(PathOf(place.Name()), 5000).ok);
}

TEST(PipeServerTest, NamesThatWouldLeaveThePipeFolderFail) {
  testservice::ScopedPipePlace place;
  for (std::u16string name : {std::u16string(), u"a/" + place.Name()}) {
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    platform::SetLastErrorCode(0);
    EXPECT_FALSE(platform::PipeServer::Create(name));
    EXPECT_NE(platform::LastErrorCode(), 0u);
  }
}

TEST(PipeServerTest, AcceptWithoutAClientAnswersNothing) {
  testservice::ScopedPipePlace place;
  auto server = platform::PipeServer::Create(place.Name());
  ASSERT_TRUE(server);
  EXPECT_FALSE(server->Accept(50));
}

TEST(PipeServerTest, StoppingHidesThePipeButServesTheClientAlreadyAccepted) {
  testservice::ScopedPipePlace place;
  auto server = platform::PipeServer::Create(place.Name());
  ASSERT_TRUE(server);
  platform::PipeOutcome outcome;
  Bytes reply(8);
  std::thread client([&] {
    outcome = platform::CallPipe(PathOf(place.Name()), Bytes{4, 2}, reply, 5000);
  });
  std::unique_ptr<platform::PipeConnection> connection = server->Accept(10000);
  ASSERT_TRUE(connection);
  server->StopListening();
  EXPECT_FALSE(platform::WaitForPipeInstance(PathOf(place.Name()), 100).ok);
  EXPECT_FALSE(server->Accept(10));

  Bytes request;
  EXPECT_TRUE(connection->ReadRequest(request, 10000));
  EXPECT_EQ(request, (Bytes{4, 2}));
  EXPECT_FALSE(connection->PeerSession().empty());
  EXPECT_NE(connection->PeerSession(), "unknown");
  EXPECT_TRUE(connection->WriteReply(Bytes{7}));
  client.join();
  ASSERT_TRUE(outcome.ok) << outcome.errorCode;
  EXPECT_EQ(outcome.bytesRead, 1u);
  EXPECT_EQ(reply[0], 7);
}

TEST(PipeServerTest, ReadFindingNoMessageWithinItsTimeOutFails) {
  testservice::ScopedPipePlace place;
  auto server = platform::PipeServer::Create(place.Name());
  ASSERT_TRUE(server);
  platform::PipeOutcome outcome;
  Bytes reply(8);
  std::thread client(
      [&] { outcome = platform::CallPipe(PathOf(place.Name()), Bytes{1}, reply, 5000); });
  auto connection = server->Accept(10000);
  ASSERT_TRUE(connection);
  Bytes request;
  ASSERT_TRUE(connection->ReadRequest(request, 10000));
  // The client waits for its reply and sends nothing more.
  Bytes none;
  EXPECT_FALSE(connection->ReadRequest(none, 50));
  EXPECT_TRUE(none.empty());
  connection->WriteReply(Bytes{1});
  client.join();
  EXPECT_TRUE(outcome.ok);
}

TEST(PipeServerTest, ClientsAreAcceptedOnWhicheverThreadAsks) {
  testservice::ScopedPipePlace place;
  auto server = platform::PipeServer::Create(place.Name());
  ASSERT_TRUE(server);
  // Each exchange is served on a thread that ends afterwards; the instance it left
  // listening must not end the next thread's wait without a client.
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    bool served = false;
    std::atomic<bool> accepting{false};
    std::thread acceptor([&] {
      accepting = true;
      auto connection = server->Accept(10000);
      Bytes request;
      served = connection && connection->ReadRequest(request, 10000) && !request.empty() &&
               connection->WriteReply(Bytes{2});
    });
    // The client comes once the acceptor is about to wait; coming earlier would only make
    // the round easier.
    EXPECT_TRUE(testing_support::WaitUntil([&] { return accepting.load(); }, 10000));
    platform::PipeOutcome outcome;
    Bytes reply(8);
    std::thread client(
        [&] { outcome = platform::CallPipe(PathOf(place.Name()), Bytes{1}, reply, 5000); });
    acceptor.join();
    if (!served)
      server->StopListening(); // lets a client that found no one go
    client.join();
    ASSERT_TRUE(served);
    EXPECT_TRUE(outcome.ok) << outcome.errorCode;
  }
}

} // namespace
