// The reference idle service: its protocol checks, the session table, and the service
// on the real pipe with the agent's own pipe client.
#include "tools/idle_service/IdleService.h"

#include "pipes/uPipes.h"
#include "platform/named_pipe.h"
#include "tests/pipes/PipeTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <future>
#include <sstream>
#include <thread>

namespace {

using idleservice::IdleSessions;
using idleservice::IdleTime;

std::vector<std::uint8_t> Record(std::uint32_t msg, std::uint32_t seconds = 0,
                                 std::uint32_t minutes = 0) {
  std::vector<std::uint8_t> bytes(8224, 0);
  std::uint32_t words[] = {8224, msg};
  std::memcpy(bytes.data(), words, sizeof(words));
  std::memcpy(bytes.data() + 28, &seconds, 4);
  std::memcpy(bytes.data() + 32, &minutes, 4);
  return bytes;
}

std::uint32_t WordAt(const std::vector<std::uint8_t>& bytes, size_t offset) {
  std::uint32_t value;
  std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

TEST(IdleSessionsTest, BadRequestsAreNotAnsweredAndChangeNothing) {
  std::vector<std::uint8_t> wrongSize = Record(1, 7);
  wrongSize[0] = 0x10;
  std::vector<std::uint8_t> garbage(8224);
  for (size_t i = 0; i < garbage.size(); ++i)
    garbage[i] = static_cast<std::uint8_t>(i * 131 + 17);
  // Tuple <request, what the complaint names>.
  struct Case {
    std::vector<std::uint8_t> request;
    std::string says;
  } cases[] = {
      {std::vector<std::uint8_t>(100, 1), "100 bytes"},
      {std::vector<std::uint8_t>(8225, 0), "8225 bytes"},
      {wrongSize, "Size field"},
      {Record(3), "unknown message code 3"},
      {Record(0), "unknown message code 0"},
      {garbage, "Size field"},
  };
  IdleSessions sessions;
  sessions.Handle("uid 1 pid 1", Record(1, 40), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    idleservice::Outcome outcome = sessions.Handle("uid 2 pid 2", c.request, 10);
    EXPECT_FALSE(outcome.reply);
    EXPECT_NE(outcome.complaint.find("ignored request from uid 2 pid 2: "), std::string::npos);
    EXPECT_NE(outcome.complaint.find(c.says), std::string::npos) << outcome.complaint;
  }
  EXPECT_EQ(sessions.StatusLine(), "common 40 s 0 min | uid 1 pid 1: 40 s 0 min");
  EXPECT_EQ(sessions.Summary(), "served 1 reports, 0 queries, 6 ignored\n"
                                "reports from uid 1 pid 1: 1");
}

TEST(IdleSessionsTest, CommonIdleIsTheSmallestLiveReport) {
  IdleSessions sessions;
  EXPECT_EQ(WordAt(*sessions.Handle("a", Record(2), 0).reply, 28), 0u) << "nobody reports";
  EXPECT_EQ(sessions.StatusLine(), "no session reporting");

  std::vector<std::uint8_t> reply = *sessions.Handle("a", Record(1, 200, 3), 0).reply;
  EXPECT_TRUE(reply == Record(1)) << "a report is answered with a cleared record, Msg echoed";
  sessions.Handle("b", Record(1, 65, 1), 1000);
  sessions.Handle("a", Record(1, 90, 1), 2000); // the latest report of a session counts
  reply = *sessions.Handle("c", Record(2), 3000).reply;
  EXPECT_EQ(WordAt(reply, 4), 2u);
  EXPECT_EQ(WordAt(reply, 28), 65u);
  EXPECT_EQ(WordAt(reply, 32), 1u);
  EXPECT_EQ(sessions.StatusLine(), "common 65 s 1 min | a: 90 s 1 min | b: 65 s 1 min");

  sessions.DropStale(6000); // b reported 5 s ago: still live
  EXPECT_EQ(sessions.CommonIdle(), (IdleTime{65, 1}));
  reply = *sessions.Handle("c", Record(2), 6001).reply; // b now older than 5 s
  EXPECT_EQ(WordAt(reply, 28), 90u);
  EXPECT_EQ(sessions.StatusLine(), "common 90 s 1 min | a: 90 s 1 min");
  // b's report still counts after b was dropped.
  EXPECT_EQ(sessions.Summary(), "served 3 reports, 3 queries, 0 ignored\n"
                                "reports from a: 2\nreports from b: 1");
}

TEST(IdleServiceTest, ServesTheAgentsClientOnTheRealPipe) {
  testservice::ScopedPipePlace place;
  std::ostringstream out;
  std::atomic<bool> stop{false};
  std::promise<void> listening;
  std::thread service([&] {
    idleservice::Run(
        place.Name(), out, [&] { return stop.load(); }, [&] { listening.set_value(); });
  });
  listening.get_future().wait();

  TPipeClient client(place.Name());
  EXPECT_TRUE(client.ServerPresent()) << "the probe must not count as a request";
  RPIPEMessage report;
  std::memset(&report, 0, sizeof(report));
  report.Msg = 1;
  std::uint32_t idle[2] = {30, 0};
  std::memcpy(report.Data.data(), idle, sizeof(idle));
  RPIPEMessage reply = client.SendMessage(report);
  EXPECT_EQ(reply.Size, 8224u);
  EXPECT_EQ(reply.Msg, 1u);
  EXPECT_EQ(reply.Result, 0u);

  // A short request gets no answer, and the service goes on.
  std::vector<std::uint8_t> shortRequest(100, 0xEE), answer(8224);
  EXPECT_FALSE(platform::CallPipe(client.PipeName(), shortRequest, answer, 0).ok);

  RPIPEMessage query;
  std::memset(&query, 0, sizeof(query));
  query.Msg = 2;
  reply = client.SendMessage(query);
  std::uint32_t common[2];
  std::memcpy(common, reply.Data.data(), sizeof(common));
  EXPECT_EQ(common[0], 30u);
  EXPECT_EQ(common[1], 0u);

  stop = true;
  service.join();
  std::string log = out.str();
  EXPECT_NE(log.find(": 100 bytes, not 8224\n"), std::string::npos) << log;
  EXPECT_NE(log.find("common 30 s 0 min | "), std::string::npos) << log;
  EXPECT_EQ(log.find(": 0 bytes"), std::string::npos) << "probes are ignored silently: " << log;
  EXPECT_NE(log.find("\nserved 1 reports, 1 queries, 1 ignored\nreports from "), std::string::npos)
      << log;
}

} // namespace
