// The named-pipe client against the test service on the real pipe of each system.
#include "pipes/uPipes.h"

#include "framework/SysUtils.h"
#include "platform/named_event.h"
#include "tests/pipes/PipeTestSupport.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

using testservice::Mode;
using testservice::Options;
using testservice::ServiceThread;

class PipeClientTest : public ::testing::Test {
protected:
  Options ServiceOptions(Mode mode) {
    Options options;
    options.name = place.Name();
    options.recordPath = (place.Folder() / "requests.bin").string();
    options.mode = mode;
    return options;
  }
  std::string Recorded() { return testing_support::ReadFileBytes(place.Folder() / "requests.bin"); }

  testservice::ScopedPipePlace place;
};

const std::uint8_t* Bytes(const RPIPEMessage& message) {
  return reinterpret_cast<const std::uint8_t*>(&message);
}

RPIPEMessage Cleared() {
  RPIPEMessage message;
  std::memset(&message, 0, sizeof(message));
  return message;
}

/// The message must start with the fixed prefix and go on with a system text.
void ExpectPrefixAndSystemText(const XPipeException& error, const std::u16string& prefix) {
  std::u16string message = error.Message();
  ASSERT_GT(message.size(), prefix.size()) << error.what();
  EXPECT_EQ(message.substr(0, prefix.size()), prefix) << error.what();
  EXPECT_NE(message.back(), u'.') << "system text is stripped: " << error.what();
}

TEST(PipeClientNames, FromTheShortName) {
  TPipeClient client(u"VSetCommonIdle");
  EXPECT_EQ(client.PipeName(), u"\\\\.\\pipe\\VSetCommonIdle");
  EXPECT_EQ(client.EventName(), u"eventVSetCommonIdle");
}

TEST_F(PipeClientTest, RequestGoesOutWholeWithSize8224AndCallerRecordUnchanged) {
  ServiceThread service(ServiceOptions(Mode::Echo));
  ASSERT_TRUE(service.Listening());
  RPIPEMessage request = Cleared();
  request.Msg = 7;
  request.Result = 0x01020304;
  request.Data[0] = 0xAA;
  request.Data[8192] = 0x5C; // the last payload byte, offset 8220
  TPipeClient client(place.Name());
  RPIPEMessage reply = client.SendMessage(request);
  EXPECT_EQ(request.Size, 0u);

  RPIPEMessage expected = request;
  expected.Size = 8224;
  std::string recorded = Recorded();
  ASSERT_EQ(recorded.size(), 8224u);
  EXPECT_EQ(std::memcmp(recorded.data(), Bytes(expected), 8224), 0);
  // The echo comes back whole; its Size is the count of bytes received.
  EXPECT_EQ(reply.Size, 8224u);
  EXPECT_EQ(std::memcmp(Bytes(reply), Bytes(expected), 8224), 0);
}

TEST_F(PipeClientTest, ShortReplyLeavesTheRestOfTheRecordZero) {
  Options options = ServiceOptions(Mode::Reply);
  options.replySize = 100;
  ServiceThread service(options);
  ASSERT_TRUE(service.Listening());
  TPipeClient client(place.Name());
  RPIPEMessage reply = client.SendMessage(Cleared());
  EXPECT_EQ(reply.Size, 100u);
  for (size_t i = 4; i < 100; ++i)
    ASSERT_EQ(Bytes(reply)[i], testservice::ReplyPatternByte(i)) << "offset " << i;
  // Header words past the reply, the payload and the alignment bytes are all cleared.
  for (size_t i = 100; i < 8224; ++i)
    ASSERT_EQ(Bytes(reply)[i], 0) << "offset " << i;
}

TEST_F(PipeClientTest, ReplyLongerThanTheRecordIsNoResponse) {
  // Tuple <reply size>: just past the record, and far past it.
  for (std::uint32_t size : {8225u, 20000u}) {
    SCOPED_TRACE(size);
    Options options = ServiceOptions(Mode::Reply);
    options.replySize = size;
    ServiceThread service(options);
    ASSERT_TRUE(service.Listening());
    TPipeClient client(place.Name());
    try {
      client.SendMessage(Cleared());
      ADD_FAILURE() << "no failure raised";
    } catch (const XExceptionPipeNotRespond& error) {
      ExpectPrefixAndSystemText(error, u"PIPE did not respond. ");
    }
  }
}

TEST_F(PipeClientTest, ExactlyFullReplyIsAccepted) {
  Options options = ServiceOptions(Mode::Reply);
  options.replySize = 8224;
  ServiceThread service(options);
  ASSERT_TRUE(service.Listening());
  RPIPEMessage reply = TPipeClient(place.Name()).SendMessage(Cleared());
  EXPECT_EQ(reply.Size, 8224u);
  EXPECT_EQ(Bytes(reply)[8223], testservice::ReplyPatternByte(8223));
}

TEST_F(PipeClientTest, NoServer) {
  TPipeClient client(place.Name());
  EXPECT_FALSE(client.ServerPresent());
  try {
    client.SendMessage(Cleared());
    ADD_FAILURE() << "no failure raised";
  } catch (const XExceptionPipeDoesNotExists& error) {
    ExpectPrefixAndSystemText(error, u"PIPE does not exist. ");
  }
  try {
    client.PostMessage(Cleared());
    ADD_FAILURE() << "no failure raised";
  } catch (const XExceptionPipeDoesNotExists& error) {
    EXPECT_EQ(error.Message(), u"PIPE does not exist.");
  }
}

TEST_F(PipeClientTest, ServerClosingWithoutReplyIsNoResponseButPostIgnoresIt) {
  ServiceThread service(ServiceOptions(Mode::Close));
  ASSERT_TRUE(service.Listening());
  TPipeClient client(place.Name());
  EXPECT_TRUE(client.ServerPresent());
  try {
    client.SendMessage(Cleared());
    ADD_FAILURE() << "a closed pipe was taken for a reply";
  } catch (const XExceptionPipeNotRespond& error) {
    ExpectPrefixAndSystemText(error, u"PIPE did not respond. ");
  }
  EXPECT_NO_THROW(client.PostMessage(Cleared()));
  // The client stays usable: both requests reached the server.
  EXPECT_TRUE(client.ServerPresent());
  EXPECT_EQ(Recorded().size(), 2u * 8224u);
}

TEST_F(PipeClientTest, SlowReplyIsWaitedFor) {
  Options options = ServiceOptions(Mode::Delay);
  options.delayMs = 300;
  ServiceThread service(options);
  ASSERT_TRUE(service.Listening());
  RPIPEMessage request = Cleared();
  request.Msg = 9;
  RPIPEMessage reply = TPipeClient(place.Name()).SendMessage(request);
  EXPECT_EQ(reply.Size, 8224u);
  EXPECT_EQ(reply.Msg, 9u);
}

TEST_F(PipeClientTest, WaitForServerConsumesTheSignal) {
  TPipeClient client(place.Name());
  std::u16string eventName = client.EventName();
  // The server's own handle keeps the event alive between the client's calls.
  std::unique_ptr<platform::NamedEvent> serverEvent = platform::NamedEvent::Open(eventName);
  ASSERT_TRUE(serverEvent);
  EXPECT_FALSE(client.WaitForServer(0));
  ASSERT_TRUE(serverEvent->Signal());
  EXPECT_TRUE(client.WaitForServer(0));
  EXPECT_FALSE(client.WaitForServer(0)) << "the signal was consumed";

  // The signal comes once the client is about to wait; should it come first, the wait
  // finds it set all the same.
  std::atomic<bool> waiting{false};
  std::thread signaller([&] {
    ASSERT_TRUE(testing_support::WaitUntil([&] { return waiting.load(); }, 10000));
    serverEvent->Signal();
  });
  waiting = true;
  EXPECT_TRUE(client.WaitForServer(5000));
  signaller.join();
  EXPECT_FALSE(client.WaitForServer(20));
  platform::NamedEvent::Remove(eventName);
}

} // namespace
