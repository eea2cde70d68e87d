// The pipe client against a real listening pipe of the test's own: whole messages both
// ways, the reply buffer's limits, and the failures the agent's client reports.
#include "platform/named_pipe.h"

#include "platform/error_text.h"
#include "platform/pipe_server.h"
#include "tests/pipes/PipeTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(size_t size, std::uint8_t seed) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<std::uint8_t>(i * 7 + seed);
  return bytes;
}

class NamedPipeTest : public testing::Test {
protected:
  void SetUp() override {
    server_ = platform::PipeServer::Create(place_.Name());
    ASSERT_TRUE(server_) << platform::LastErrorCode();
  }
  void TearDown() override {
    if (thread_.joinable())
      thread_.join();
  }

  std::u16string Path() const { return u"\\\\.\\pipe\\" + place_.Name(); }

  /// Serves the next client that sends a request, on a thread: `answer` gets the
  /// connection after its request is read. Presence probes are passed over.
  void ServeOne(std::function<void(platform::PipeConnection&)> answer) {
    thread_ = std::thread([this, answer] {
      while (auto connection = server_->Accept(10000)) {
        if (!connection->ReadRequest(received_, 10000)) {
          readFailed_ = true;
          return;
        }
        if (received_.empty())
          continue;
        answer(*connection);
        return;
      }
    });
  }

  platform::PipeOutcome Call(const Bytes& request, Bytes& reply) {
    return platform::CallPipe(Path(), request, reply, 5000);
  }

  testservice::ScopedPipePlace place_;
  std::unique_ptr<platform::PipeServer> server_;
  std::thread thread_;
  Bytes received_;
  bool readFailed_ = false;
};

TEST_F(NamedPipeTest, RequestsOfAnySizeArriveWholeAndRepliesComeBackWhole) {
  // Sizes around the agent's record, and one several times the system's pipe buffer.
  for (size_t size : {size_t{1}, size_t{8224}, size_t{100000}}) {
    SCOPED_TRACE(size);
    const Bytes request = Pattern(size, 1), answer = Pattern(size / 2 + 1, 2);
    ServeOne([&](platform::PipeConnection& connection) { connection.WriteReply(answer); });
    Bytes reply(size, 0xEE);
    platform::PipeOutcome outcome = Call(request, reply);
    thread_.join();
    ASSERT_TRUE(outcome.ok) << outcome.errorCode;
    EXPECT_FALSE(readFailed_);
    EXPECT_EQ(received_, request);
    ASSERT_EQ(outcome.bytesRead, answer.size());
    EXPECT_TRUE(std::equal(answer.begin(), answer.end(), reply.begin()));
    // Bytes past the reply stay as the caller left them.
    EXPECT_TRUE(std::all_of(reply.begin() + answer.size(), reply.end(),
                            [](std::uint8_t b) { return b == 0xEE; }));
  }
}

TEST_F(NamedPipeTest, ReplyFillingTheBufferFitsAndOneByteMoreIsMoreData) {
  for (size_t size : {size_t{16}, size_t{17}}) {
    SCOPED_TRACE(size);
    const Bytes answer = Pattern(size, 3);
    ServeOne([&](platform::PipeConnection& connection) { connection.WriteReply(answer); });
    Bytes reply(16);
    platform::PipeOutcome outcome = Call(Bytes{1, 2, 3}, reply);
    thread_.join();
    EXPECT_EQ(outcome.ok, size == 16);
    if (size == 16)
      EXPECT_EQ(reply, answer);
    else
      EXPECT_NE(outcome.errorCode, 0u);
  }
  // The cut-off rest is gone with its connection: the next exchange gets its own reply.
  ServeOne([](platform::PipeConnection& connection) { connection.WriteReply(Bytes{9}); });
  Bytes reply(16);
  platform::PipeOutcome outcome = Call(Bytes{1}, reply);
  ASSERT_TRUE(outcome.ok) << outcome.errorCode;
  EXPECT_EQ(outcome.bytesRead, 1u);
  EXPECT_EQ(reply[0], 9);
}

TEST_F(NamedPipeTest, ServerClosingWithoutAReplyIsAFailure) {
  ServeOne([](platform::PipeConnection&) {});
  Bytes reply(64);
  platform::PipeOutcome outcome = Call(Bytes{1, 2}, reply);
  EXPECT_FALSE(outcome.ok);
  EXPECT_NE(outcome.errorCode, 0u);
}

TEST_F(NamedPipeTest, FreeInstanceIsFoundAndAPipeThatIsNotThereFailsAtOnce) {
  platform::PipeOutcome free = platform::WaitForPipeInstance(Path(), 5000);
  EXPECT_TRUE(free.ok) << free.errorCode;

  const std::u16string missing = Path() + u"-missing";
  auto start = std::chrono::steady_clock::now();
  platform::PipeOutcome wait = platform::WaitForPipeInstance(missing, 20000);
  Bytes reply(8);
  platform::PipeOutcome call = platform::CallPipe(missing, Bytes{1}, reply, 20000);
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_FALSE(wait.ok);
  EXPECT_FALSE(call.ok);
  // "File not found" is 2 on both systems (ERROR_FILE_NOT_FOUND, ENOENT); the agent's
  // message shows that code's text.
  EXPECT_EQ(wait.errorCode, 2u);
  EXPECT_EQ(call.errorCode, 2u);
  EXPECT_LT(waited, std::chrono::seconds(10)) << "the time-out was waited for";
}

TEST_F(NamedPipeTest, PathsThatAreNoLocalPipeFail) {
  for (std::u16string path : {std::u16string(u"\\\\.\\pipe\\"), place_.Name(),
                              u"\\\\.\\pipe\\" + place_.Name() + u"\\sub"}) {
    SCOPED_TRACE(std::string(path.begin(), path.end()));
    EXPECT_FALSE(platform::WaitForPipeInstance(path, 10).ok);
    Bytes reply(8);
    platform::PipeOutcome outcome = platform::CallPipe(path, Bytes{1}, reply, 10);
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.errorCode, 0u);
  }
}

} // namespace
