// The three built-in text loaders bare and redirected through the translator with no
// catalogue to be found (the common case on a machine without translations), registered
// side by side so that repetitions can interleave them; ends with the ratio of each
// redirected loader to its bare self (medians when repeated).
#include "bench/ratio_reporter.h"
#include "common/GNUgettext/TranslationStartup.h"
#include "framework/Resources.h"
#include "platform/environment.h"
#include "text/StringTableIds.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

const TResStringRec kRecord{nullptr, SOutOfMemory};

/// Puts the three redirections in force or takes them out; outside the timed loop, so
/// that each benchmark measures one state whatever ran before it.
void Redirect(bool on) {
  for (THook* hook : {Translation().ResourceRecordHook.get(), Translation().TextByIdHook.get(),
                      Translation().FormatByIdHook.get()})
    on ? hook->Enable() : hook->Disable();
}

void ResourceRecord(benchmark::State& state, bool redirected) {
  Redirect(redirected);
  for (auto _ : state)
    benchmark::DoNotOptimize(LoadResString(&kRecord));
}

void TextById(benchmark::State& state, bool redirected) {
  Redirect(redirected);
  for (auto _ : state)
    benchmark::DoNotOptimize(LoadStr(SOSError));
}

void FormatById(benchmark::State& state, bool redirected) {
  Redirect(redirected);
  for (auto _ : state)
    benchmark::DoNotOptimize(FmtLoadStr(SListIndexError, {FormatArg(42)}));
}

const char* const kLoaders[] = {"LoadResString", "LoadStr", "FmtLoadStr"};

void Register(const std::string& prefix, bool redirected) {
  benchmark::RegisterBenchmark((prefix + "/LoadResString").c_str(), ResourceRecord, redirected);
  benchmark::RegisterBenchmark((prefix + "/LoadStr").c_str(), TextById, redirected);
  benchmark::RegisterBenchmark((prefix + "/FmtLoadStr").c_str(), FormatById, redirected);
}

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv))
    return 1;
  // A language without a catalogue: the domain looks once, then translates nothing.
  platform::SetEnvVar("LANG", "sv_SE.UTF-8");
  InitGnuGettext();
  Register("Bare", false);
  Register("Redirected", true);
  bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  Redirect(true); // as the start-up left them, for the end work to take out
  DoneGnuGettext();
  benchmark::Shutdown();

  std::printf("\n%-16s %12s %12s %8s\n", "loader", "bare ns", "redirected", "ratio");
  for (const char* loader : kLoaders) {
    double bare = reporter.Of("Bare/" + std::string(loader)).real;
    double redirected = reporter.Of("Redirected/" + std::string(loader)).real;
    if (bare > 0 && redirected > 0)
      std::printf("%-16s %12.1f %12.1f %7.2fx\n", loader, bare, redirected, redirected / bare);
  }
  return 0;
}
