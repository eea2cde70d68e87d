// What one debug log entry costs beside the bare open-append-close a user could write
// instead, what a trace costs with logging off, and what one idle reading costs.
// Prints the entry's ratio at the end.
#include "bench/ratio_reporter.h"
#include "common/Scheduler/Utils/InputHook.h"
#include "debug/Debugg.h"
#include "debug/TxtDebugg.h"
#include "platform/ansi_code_page.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::u16string kText = u"SchedulerAgent: SendIdleTime";

class ScopedLogFolder {
public:
  explicit ScopedLogFolder(bool loggingOn) {
    folder_ = fs::temp_directory_path() / ("log-bench-" + std::to_string(getpid()));
    fs::create_directories(folder_);
    std::ofstream(folder_ / "MKLOG.INI") << "[settings]\nDebuggLog=" << (loggingOn ? 1 : 0) << "\n";
    SetupDebuggLogIn(folder_.u16string() + u"/");
  }
  ~ScopedLogFolder() {
    SetTraceListener(nullptr);
    DoneTxtDebugg();
    fs::remove_all(folder_);
  }
  const fs::path& Path() const { return folder_; }

private:
  fs::path folder_;
};

void BM_WriteLogEntry(benchmark::State& state) {
  ScopedLogFolder folder(true);
  for (auto _ : state)
    WriteLogEntry(kText);
}
BENCHMARK(BM_WriteLogEntry)->UseRealTime();

void BM_BareOpenAppendClose(benchmark::State& state) {
  ScopedLogFolder folder(false);
  // The bytes of one steady-state entry, time stamp included.
  const std::string bytes =
      platform::ToAnsiCodePage(FormatLogText(u"03/09/24 14:05:07 : ", kText) + u"\r\n");
  const std::string name = (folder.Path() / "bare.log").string();
  for (auto _ : state) {
    int fd = open(name.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0666);
    benchmark::DoNotOptimize(write(fd, bytes.data(), bytes.size()));
    close(fd);
  }
}
BENCHMARK(BM_BareOpenAppendClose)->UseRealTime();

void BM_TraceWithLoggingOff(benchmark::State& state) {
  ScopedLogFolder folder(false);
  for (auto _ : state)
    DebugTrace(kText);
}
BENCHMARK(BM_TraceWithLoggingOff);

void BM_IdleReading(benchmark::State& state) {
  if (!std::getenv("DISPLAY")) {
    state.SkipWithError("no DISPLAY: run under xvfb-run");
    return;
  }
  InitInputHook();
  for (auto _ : state)
    benchmark::DoNotOptimize(GetInputIdleSeconds());
  DoneInputHook();
}
BENCHMARK(BM_IdleReading)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto entry = reporter.Of("BM_WriteLogEntry/real_time");
  const auto bare = reporter.Of("BM_BareOpenAppendClose/real_time");
  if (entry.real > 0 && bare.real > 0)
    // Other work on the machine stretches real time; CPU time shows the code's own cost.
    std::printf("WriteLogEntry / bare open-append-close: %.2fx real, %.2fx CPU (goal <= 1.5x)\n",
                entry.real / bare.real, entry.cpu / bare.cpu);
  benchmark::Shutdown();
  return 0;
}
