// A busy service must let the exchanges of many agents wait for it: an agent's exchange
// does not wait for a free instance, and one that finds none ends the agent with exit
// code 1. On Windows each waiting client holds a pipe instance, on Linux a place in the
// listening socket's queue.
#include "pipes/uPipes.h"
#include "platform/named_pipe.h"
#include "platform/pipe_server.h"
#include "tests/pipes/PipeTestSupport.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

TEST(ServiceCapacityTest, ExchangesOfManyAgentsWaitWhileTheServiceIsBusy) {
  constexpr int kClients = 32;
  testservice::ScopedPipePlace place;
  std::unique_ptr<platform::PipeServer> server = platform::PipeServer::Create(place.Name());
  ASSERT_TRUE(server);
  std::u16string path = TPipeClient(place.Name()).PipeName();

  std::atomic<int> answered{0};
  std::atomic<int> calling{0};
  std::vector<std::thread> clients;
  std::vector<std::uint32_t> errors(kClients, 0);
  for (int i = 0; i < kClients; ++i)
    clients.emplace_back([&, i] {
      std::vector<std::uint8_t> request(8224, static_cast<std::uint8_t>(i)), reply(8224);
      ++calling;
      platform::PipeOutcome outcome =
          platform::CallPipe(path, request, reply, platform::kPipeNoWait);
      if (outcome.ok && outcome.bytesRead == 8224 && reply[100] == static_cast<std::uint8_t>(i))
        ++answered;
      else
        errors[static_cast<size_t>(i)] = outcome.ok ? 0xFFFFFFFFu : outcome.errorCode;
    });
  // The service is busy elsewhere while every client connects: it accepts nobody until
  // the last client has set out, and for a while after that, which is the busy time under
  // test and must pass for real.
  EXPECT_TRUE(testing_support::WaitUntil([&] { return calling.load() == kClients; }, 30000));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::vector<std::uint8_t> request;
  for (int served = 0; served < kClients;) {
    std::unique_ptr<platform::PipeConnection> connection = server->Accept(2000);
    if (!connection)
      break; // every client left: those that found no instance failed at once
    if (connection->ReadRequest(request, 2000) && !request.empty()) {
      connection->WriteReply(request);
      ++served;
    }
  }
  for (std::thread& client : clients)
    client.join();
  EXPECT_EQ(answered, kClients);
  EXPECT_EQ(errors, std::vector<std::uint32_t>(kClients, 0));
}

} // namespace
