// The three built-in text loaders bare, then redirected through the translator with no
// catalogue to be found (the common case on a machine without translations), in one run;
// ends with the ratio of each redirected loader to its bare self.
#include "common/GNUgettext/TranslationStartup.h"
#include "framework/Resources.h"
#include "platform/environment.h"
#include "text/StringTableIds.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

const TResStringRec kRecord{nullptr, SOutOfMemory};

void ResourceRecord(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(LoadResString(&kRecord));
}

void TextById(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(LoadStr(SOSError));
}

void FormatById(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(FmtLoadStr(SListIndexError, {FormatArg(42)}));
}

const char* const kLoaders[] = {"LoadResString", "LoadStr", "FmtLoadStr"};

void Register(const std::string& prefix) {
  benchmark::RegisterBenchmark((prefix + "/LoadResString").c_str(), ResourceRecord);
  benchmark::RegisterBenchmark((prefix + "/LoadStr").c_str(), TextById);
  benchmark::RegisterBenchmark((prefix + "/FmtLoadStr").c_str(), FormatById);
}

// The console output as usual, and each run's time per iteration kept by name.
class RatioReporter : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration)
        times[run.benchmark_name()] = run.GetAdjustedRealTime();
  }
  std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  Register("Bare");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::ClearRegisteredBenchmarks();

  // A language without a catalogue: the domain looks once, then translates nothing.
  platform::SetEnvVar("LANG", "sv_SE.UTF-8");
  InitGnuGettext();
  Register("Redirected");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  DoneGnuGettext();
  benchmark::Shutdown();

  std::printf("\n%-16s %12s %12s %8s\n", "loader", "bare ns", "redirected", "ratio");
  for (const char* loader : kLoaders) {
    double bare = reporter.times["Bare/" + std::string(loader)];
    double redirected = reporter.times["Redirected/" + std::string(loader)];
    if (bare > 0 && redirected > 0)
      std::printf("%-16s %12.1f %12.1f %7.2fx\n", loader, bare, redirected, redirected / bare);
  }
  return 0;
}
