// One reading of the session's last input time from the source the agent chooses in the
// session this runs in (X11, a Wayland compositor's notifications, GNOME's idle monitor),
// and the voluntary context switches, the wake-ups, each reading costs.
#include "platform/input_idle.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

namespace {

long VoluntarySwitches() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_nvcsw;
}

void BM_LastInputTick(benchmark::State& state) {
  // Chosen once, as the agent chooses it at its start.
  static std::unique_ptr<platform::LastInputSource> source =
      platform::LastInputSource::Load(platform::LastInputSource::SessionVariables()).source;
  if (!source || !source->FindLastInputFunction()) {
    state.SkipWithError("no idle source serves this session");
    return;
  }
  std::uint32_t tick = 0;
  if (source->LastInputTick(tick) != platform::LastInputQuery::kAnswered) {
    state.SkipWithError("the idle source does not answer");
    return;
  }
  long switches = VoluntarySwitches();
  for (auto _ : state) {
    benchmark::DoNotOptimize(source->LastInputTick(tick));
    benchmark::DoNotOptimize(tick);
  }
  state.counters["wakeups_per_reading"] =
      static_cast<double>(VoluntarySwitches() - switches) / static_cast<double>(state.iterations());
  state.SetLabel(source->Name());
}
BENCHMARK(BM_LastInputTick);

} // namespace

BENCHMARK_MAIN();
