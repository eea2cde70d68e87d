// What every benchmark program keeps for the ratios it prints at its end: the console
// output as usual, and each benchmark's real and CPU time per iteration by name (the
// median of the repetitions when there are some, else the one run's).
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace bench {

class RatioReporter : public benchmark::ConsoleReporter {
public:
  struct Times {
    double real = 0;
    double cpu = 0;
  };

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const Times times{run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
        median_[run.run_name.str()] = times;
      else if (run.run_type == Run::RT_Iteration && run.iterations > 0)
        last_[run.run_name.str()] = times;
    }
  }

  /// Zero times for a benchmark that did not run (filtered out, or failed). Benchmarks
  /// on real time carry "/real_time" in their names.
  Times Of(const std::string& name) const {
    auto median = median_.find(name);
    if (median != median_.end())
      return median->second;
    auto last = last_.find(name);
    return last == last_.end() ? Times{} : last->second;
  }

private:
  std::map<std::string, Times> last_, median_;
};

} // namespace bench
