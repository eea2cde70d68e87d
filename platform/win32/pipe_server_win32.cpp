// The listening side of a Win32 message-mode named pipe, with overlapped I/O so that
// every wait has a time-out and a fresh instance is ready while a client is served.
#include "platform/pipe_server.h"

#include "platform/win32/win_support.h"

namespace platform {

namespace {

using win32::ScopedHandle;

constexpr DWORD kBufferSize = 65536;
constexpr DWORD kWriteTimeoutMs = 5000;

/// Waits for an overlapped operation started on the handle; on time-out it is
/// cancelled (and waited for, so the OVERLAPPED may go) and false returned.
bool Complete(HANDLE handle, OVERLAPPED& overlapped, DWORD timeoutMs) {
  if (WaitForSingleObject(overlapped.hEvent, timeoutMs) == WAIT_OBJECT_0)
    return true;
  CancelIo(handle);
  DWORD ignored = 0;
  GetOverlappedResult(handle, &overlapped, &ignored, TRUE);
  SetLastError(WAIT_TIMEOUT);
  return false;
}

class Win32PipeConnection : public PipeConnection {
public:
  explicit Win32PipeConnection(ScopedHandle pipe)
      : pipe_(std::move(pipe)), event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

  bool ReadRequest(std::vector<std::uint8_t>& request, std::uint32_t timeoutMs) override {
    request.clear();
    if (!event_.valid())
      return false;
    // A message longer than one read arrives in parts, each flagged "more data".
    for (;;) {
      size_t offset = request.size();
      request.resize(offset + kBufferSize);
      OVERLAPPED overlapped{};
      overlapped.hEvent = event_.get();
      ResetEvent(event_.get());
      BOOL ok = ReadFile(pipe_.get(), request.data() + offset, kBufferSize, nullptr, &overlapped);
      DWORD error = ok ? 0 : GetLastError();
      if (!ok && error == ERROR_IO_PENDING && !Complete(pipe_.get(), overlapped, timeoutMs)) {
        request.clear();
        return false;
      }
      if (!ok && error != ERROR_IO_PENDING && error != ERROR_MORE_DATA) {
        request.resize(offset);
        // A client that went away without writing sent an empty request.
        return error == ERROR_BROKEN_PIPE && request.empty();
      }
      DWORD bytes = 0;
      ok = GetOverlappedResult(pipe_.get(), &overlapped, &bytes, FALSE);
      error = ok ? 0 : GetLastError();
      request.resize(offset + bytes);
      if (ok)
        return true;
      if (error == ERROR_MORE_DATA)
        continue;
      return error == ERROR_BROKEN_PIPE && request.empty();
    }
  }

  bool WriteReply(std::span<const std::uint8_t> reply) override {
    if (!event_.valid())
      return false;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event_.get();
    ResetEvent(event_.get());
    BOOL ok = WriteFile(pipe_.get(), reply.data(), static_cast<DWORD>(reply.size()), nullptr,
                        &overlapped);
    if (!ok && GetLastError() != ERROR_IO_PENDING)
      return false;
    if (!ok && !Complete(pipe_.get(), overlapped, kWriteTimeoutMs))
      return false;
    DWORD written = 0;
    if (!GetOverlappedResult(pipe_.get(), &overlapped, &written, FALSE) || written != reply.size())
      return false;
    // Closing the instance before the client has read would throw the reply away.
    FlushFileBuffers(pipe_.get());
    return true;
  }

  std::string PeerSession() override {
    ULONG session = 0;
    if (!GetNamedPipeClientSessionId(pipe_.get(), &session))
      return "unknown";
    return "session " + std::to_string(session);
  }

private:
  ScopedHandle pipe_;
  ScopedHandle event_;
};

class Win32PipeServer : public PipeServer {
public:
  Win32PipeServer(std::u16string path, HANDLE connectEvent)
      : path_(std::move(path)), connectEvent_(connectEvent) {}
  ~Win32PipeServer() override { StopListening(); }

  /// Makes the instance that waits for the next client.
  bool StartInstance(bool first) {
    DWORD openMode = PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED;
    // The first instance claims the name: a second server on it fails instead of
    // sharing the clients.
    if (first)
      openMode |= FILE_FLAG_FIRST_PIPE_INSTANCE;
    HANDLE pipe = CreateNamedPipeW(win32::Wide(path_), openMode,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT |
                                       PIPE_REJECT_REMOTE_CLIENTS,
                                   PIPE_UNLIMITED_INSTANCES, kBufferSize, kBufferSize, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE)
      return false;
    pending_.reset(pipe);
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = connectEvent_.get();
    ResetEvent(connectEvent_.get());
    connected_ = false;
    if (!ConnectNamedPipe(pipe, &overlapped_)) {
      DWORD error = GetLastError();
      if (error == ERROR_PIPE_CONNECTED) {
        connected_ = true;
      } else if (error != ERROR_IO_PENDING) {
        pending_.reset();
        SetLastError(error);
        return false;
      }
    }
    return true;
  }

  std::unique_ptr<PipeConnection> Accept(std::uint32_t timeoutMs) override {
    if (!pending_.valid() && (!listening_ || !StartInstance(false)))
      return nullptr;
    if (!connected_) {
      if (WaitForSingleObject(connectEvent_.get(), timeoutMs) != WAIT_OBJECT_0)
        return nullptr;
      DWORD ignored = 0;
      if (!GetOverlappedResult(pending_.get(), &overlapped_, &ignored, FALSE)) {
        pending_.reset(); // a client that came and went; the next call makes a new one
        return nullptr;
      }
    }
    auto connection = std::make_unique<Win32PipeConnection>(std::move(pending_));
    connected_ = false;
    // Another client finds a free instance while this one is served.
    StartInstance(false);
    return connection;
  }

  void StopListening() override {
    listening_ = false;
    if (pending_.valid()) {
      CancelIo(pending_.get());
      DWORD ignored = 0;
      GetOverlappedResult(pending_.get(), &overlapped_, &ignored, TRUE);
      pending_.reset();
    }
  }

private:
  std::u16string path_;
  ScopedHandle connectEvent_;
  ScopedHandle pending_;
  OVERLAPPED overlapped_{};
  bool connected_ = false;
  bool listening_ = true;
};

} // namespace

std::unique_ptr<PipeServer> PipeServer::Create(const std::u16string& shortName) {
  if (shortName.empty() || shortName.find_first_of(u"\\/") != std::u16string::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  HANDLE connectEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!connectEvent)
    return nullptr;
  auto server = std::make_unique<Win32PipeServer>(u"\\\\.\\pipe\\" + shortName, connectEvent);
  if (!server->StartInstance(true))
    return nullptr;
  return server;
}

} // namespace platform
