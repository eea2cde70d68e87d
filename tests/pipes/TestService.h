// A pipe service for tests: it records every request and answers as the test tells it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace testservice {

enum class Mode {
  Reply,           // reply with replySize bytes, byte i being i % 251 + 1
  Echo,            // reply with the request unchanged
  Close,           // read the request, close without reply
  CloseAfterProbe, // stop listening at the first empty connection; requests unanswered
  Delay,           // wait delayMs, then echo
  Query,           // idle queries (Msg 2) get Data 0-3 = querySeconds, 4-7 = queryMinutes
  Garbage,         // replies of random length (0 to 8224 bytes) and random bytes from seed
};

struct Options {
  std::u16string name = u"VSetCommonIdle";
  std::string recordPath; // empty: record nothing
  Mode mode = Mode::Echo;
  std::uint32_t replySize = 8224;
  std::uint32_t delayMs = 0;
  std::uint32_t querySeconds = 0;
  std::uint32_t queryMinutes = 0;
  std::uint32_t seed = 0;
  std::uint64_t maxRequests = 0; // 0: no limit
};

/// Parses the command line after the program name; throws std::invalid_argument with
/// a message for the user on bad arguments.
Options ParseOptions(std::span<const std::string> arguments);

/// The reply byte at position index in Reply mode.
inline std::uint8_t ReplyPatternByte(std::size_t index) {
  return static_cast<std::uint8_t>(index % 251 + 1);
}

/// Serves until stopRequested answers true or maxRequests non-empty requests were
/// handled. ready runs once the pipe listens. Returns the exit code: 0, or 1 when the
/// pipe cannot be served (the reason on standard error).
int Run(const Options& options, const std::function<bool()>& stopRequested,
        const std::function<void()>& ready);

} // namespace testservice
