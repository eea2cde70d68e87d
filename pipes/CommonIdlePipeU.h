// The common-idle protocol with the scheduler service: idle reports (code 1) and idle
// queries (code 2).
#pragma once

#include "pipes/uPipes.h"

#include <cstdint>

/// Message codes of the protocol.
constexpr std::uint32_t kIdleReportMessage = 1;
constexpr std::uint32_t kIdleQueryMessage = 2;

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
