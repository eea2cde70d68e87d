// The reference idle service: it keeps each session's latest idle report and answers
// idle queries with the common idle time of the sessions still reporting.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace idleservice {

/// Reports older than this are dropped: their agent has stopped reporting.
constexpr std::uint64_t kReportLifetimeMs = 5000;

struct IdleTime {
  std::uint32_t seconds = 0;
  std::uint32_t minutes = 0;
  bool operator==(const IdleTime&) const = default;
};

/// What to do with one request.
struct Outcome {
  std::optional<std::vector<std::uint8_t>> reply; // empty: answer nothing
  std::string complaint;                          // why a request was not answered
};

class IdleSessions {
public:
  /// Handles one request of a session at the time nowMs (a monotonic clock).
  Outcome Handle(const std::string& session, const std::vector<std::uint8_t>& request,
                 std::uint64_t nowMs);

  /// Forgets reports older than their lifetime.
  void DropStale(std::uint64_t nowMs);

  /// The smallest idle time among the live sessions; nothing when none reports.
  std::optional<IdleTime> CommonIdle() const;

  /// "common 3 s 0 min | uid 1000 pid 42: 3 s 0 min | ..." (or "no session reporting").
  std::string StatusLine() const;

  /// What was served since the start: "served N reports, N queries, N ignored" and
  /// a line "reports from SESSION: N" per session that ever reported.
  std::string Summary() const;

private:
  Outcome Answer(const std::string& session, const std::vector<std::uint8_t>& request,
                 std::uint64_t nowMs);

  struct Report {
    IdleTime idle;
    std::uint64_t receivedMs;
  };
  std::map<std::string, Report> fReports;
  // Counted for the whole run: a dropped session's count still tells what it sent.
  std::map<std::string, std::uint64_t> fReportCounts;
  std::uint64_t fReportTotal = 0, fQueryTotal = 0, fIgnoredTotal = 0;
};

/// Serves the pipe until stopRequested answers true, writing one status line to out
/// per change, a line per ignored request, and the summary at the end. Returns 0, or
/// 1 when the pipe cannot be served. ready runs once the pipe listens.
int Run(const std::u16string& pipeName, std::ostream& out,
        const std::function<bool()>& stopRequested, const std::function<void()>& ready);

} // namespace idleservice
