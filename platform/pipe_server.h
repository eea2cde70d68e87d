// The listening side of a local message-mode named pipe, for the services beside the
// agent: as many instances as clients need, one request and one reply per connection.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace platform {

/// One connected client.
class PipeConnection {
public:
  virtual ~PipeConnection() = default;

  /// Reads the client's one request message whole, of any length. An empty request
  /// means the client closed without sending (a presence probe). False on failure or
  /// when nothing arrives within the time-out.
  virtual bool ReadRequest(std::vector<std::uint8_t>& request, std::uint32_t timeoutMs) = 0;

  /// Writes the reply as one message and waits until the client has it.
  virtual bool WriteReply(std::span<const std::uint8_t> reply) = 0;

  /// The client's session: "session N" on Windows, "uid U pid P" elsewhere.
  virtual std::string PeerSession() = 0;
};

class PipeServer {
public:
  /// Listens on the short pipe name (no path separators). Null on failure, with
  /// LastErrorCode() telling why; a name already served by a live server fails.
  static std::unique_ptr<PipeServer> Create(const std::u16string& shortName);

  virtual ~PipeServer() = default;

  /// The next client, or null when none connected within the time-out.
  virtual std::unique_ptr<PipeConnection> Accept(std::uint32_t timeoutMs) = 0;

  /// Stops listening: from now on clients find no pipe. Connections already accepted
  /// stay usable.
  virtual void StopListening() = 0;
};

} // namespace platform
