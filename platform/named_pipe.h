// The client side of a local message-mode named pipe: waiting for a free instance and
// one whole request/reply transaction.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace platform {

/// The outcome of a pipe operation; errorCode is the system's code when ok is false.
struct PipeOutcome {
  bool ok = false;
  std::uint32_t errorCode = 0;
  std::uint32_t bytesRead = 0;
};

/// The time-out of CallPipe that means "do not wait for a free instance".
constexpr std::uint32_t kPipeNoWait = 1;

/// Whether an instance of the pipe at the full path ("\\.\pipe\NAME") is free for a
/// connection within the time-out. A pipe that does not exist fails at once.
PipeOutcome WaitForPipeInstance(const std::u16string& pipePath, std::uint32_t timeoutMs);

/// Connects, writes the request as one message, reads one reply message into the reply
/// buffer and disconnects. A reply longer than the buffer fails with the system's
/// "more data" code; a server that closes without replying is a failure too.
PipeOutcome CallPipe(const std::u16string& pipePath, std::span<const std::uint8_t> request,
                     std::span<std::uint8_t> reply, std::uint32_t timeoutMs);

/// Where the system keeps the pipe at the full path, as an administrator looks for it:
/// the path itself on Windows, the socket in the pipe folder on Linux.
std::u16string PipeLocation(const std::u16string& pipePath);

} // namespace platform
