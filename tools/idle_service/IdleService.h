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

private:
  struct Report {
    IdleTime idle;
    std::uint64_t receivedMs;
  };
  std::map<std::string, Report> fReports;
};

/// Serves the pipe until stopRequested answers true, writing one status line to out
/// per change and a line per ignored request. Returns 0, or 1 when the pipe cannot be
/// served. ready runs once the pipe listens.
int Run(const std::u16string& pipeName, std::ostream& out,
        const std::function<bool()>& stopRequested, const std::function<void()>& ready);

} // namespace idleservice
