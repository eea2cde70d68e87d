// The cost of one idle report (SendIdleTime against the reference idle service) beside
// the best a user could do instead: one bare SOCK_SEQPACKET transaction of 8224 bytes
// each way to a bare server of the same kind. Prints the ratio at the end.
#include "bench/ratio_reporter.h"
#include "pipes/CommonIdlePipeU.h"
#include "tools/idle_service/IdleService.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr size_t kRecordSize = 8224;

/// A fresh pipe folder that NAMED_PIPE_DIR points at while the scope lasts.
class ScopedPipeFolder {
public:
  ScopedPipeFolder() {
    char pattern[] = "/tmp/sa-pipes-bench-XXXXXX";
    folder_ = mkdtemp(pattern);
    setenv("NAMED_PIPE_DIR", folder_.c_str(), 1);
  }
  ~ScopedPipeFolder() { std::filesystem::remove_all(folder_); }
  const std::string& Folder() const { return folder_; }

private:
  std::string folder_;
};

/// A stream that forgets what the service prints.
class NullBuffer : public std::streambuf {
protected:
  int overflow(int c) override { return c; }
};

void BM_SendIdleTime(benchmark::State& state) {
  ScopedPipeFolder place; // VSetCommonIdle of our own
  NullBuffer discard;
  std::ostream out(&discard);
  std::atomic<bool> stop{false};
  std::promise<void> listening;
  std::thread service([&] {
    idleservice::Run(
        u"VSetCommonIdle", out, [&] { return stop.load(); }, [&] { listening.set_value(); });
  });
  listening.get_future().wait();
  TCommonIdleClient client;
  for (auto _ : state)
    client.SendIdleTime();
  stop = true;
  service.join();
}
BENCHMARK(BM_SendIdleTime)->UseRealTime();

sockaddr_un BareAddress(const std::string& folder) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof(address.sun_path), "%s/bare", folder.c_str());
  return address;
}

void BM_BareSeqpacketTransaction(benchmark::State& state) {
  ScopedPipeFolder place;
  sockaddr_un address = BareAddress(place.Folder());
  int listener = socket(AF_UNIX, SOCK_SEQPACKET, 0);
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(listener, 64) != 0) {
    state.SkipWithError("cannot listen");
    return;
  }
  std::atomic<bool> stop{false};
  std::thread server([&] {
    std::vector<char> buffer(kRecordSize);
    pollfd entry{listener, POLLIN, 0};
    while (!stop) {
      if (poll(&entry, 1, 50) <= 0)
        continue;
      int client = accept(listener, nullptr, nullptr);
      if (recv(client, buffer.data(), buffer.size(), 0) > 0)
        send(client, buffer.data(), buffer.size(), MSG_NOSIGNAL);
      close(client);
    }
  });
  std::vector<char> request(kRecordSize, 1), reply(kRecordSize);
  for (auto _ : state) {
    int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    benchmark::DoNotOptimize(recv(fd, reply.data(), reply.size(), 0));
    close(fd);
  }
  stop = true;
  server.join();
  close(listener);
}
BENCHMARK(BM_BareSeqpacketTransaction)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double report = reporter.Of("BM_SendIdleTime/real_time").real;
  const double bare = reporter.Of("BM_BareSeqpacketTransaction/real_time").real;
  if (report > 0 && bare > 0)
    std::printf("SendIdleTime / bare transaction: %.2fx (goal <= 2x)\n", report / bare);
  benchmark::Shutdown();
  return 0;
}
