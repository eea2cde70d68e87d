// The common-idle protocol with the scheduler service: idle reports (code 1) and idle
// queries (code 2).
#pragma once

#include "pipes/uPipes.h"

#include <cstdint>

/// Message codes of the protocol.
constexpr std::uint32_t kIdleReportMessage = 1;
constexpr std::uint32_t kIdleQueryMessage = 2;

/// The short name of the service's pipe.
inline constexpr const char16_t* kCommonIdlePipeName = u"VSetCommonIdle";

/// The common idle time as the service answers an idle query.
struct TCommonIdleTime {
  std::uint32_t Seconds = 0;
  std::uint32_t Minutes = 0;
};

/// One idle query on a pipe client of its own; pipe failures pass on. It sends no idle
/// report, so the service never counts its caller as a session.
TCommonIdleTime QueryCommonIdleTime();

class TCommonIdleClient {
public:
  /// Opens nothing: it succeeds whether or not the service runs.
  TCommonIdleClient();

  /// Sends one idle report when the service's pipe is there; pipe failures pass on.
  void SendIdleTime();

  /// The common idle time the service holds, each read by a query of its own.
  std::uint32_t CommonIdleSeconds();
  std::uint32_t CommonIdleMinutes();

protected:
  TPipeClient fClient;
};
