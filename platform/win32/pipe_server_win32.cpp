// The listening side of a Win32 message-mode named pipe, with overlapped I/O so that
// every wait has a time-out and a fresh instance is ready while a client is served.
#include "platform/pipe_server.h"

#include "platform/win32/win_support.h"

#include <optional>

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

/// One instance that listens for the next client.
struct ListeningInstance {
  ScopedHandle pipe;
  ScopedHandle event;
  OVERLAPPED overlapped{};
  bool connected = false;
};

class Win32PipeServer : public PipeServer {
public:
  explicit Win32PipeServer(std::u16string path) : path_(std::move(path)) {}
  ~Win32PipeServer() override { StopListening(); }

  /// Makes the instance of slot `index` that waits for the next client.
  bool StartInstance(size_t index, bool first) {
    ListeningInstance& slot = slots_[index];
    if (!slot.event.valid())
      slot.event = ScopedHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!slot.event.valid())
      return false;
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
    slot.pipe.reset(pipe);
    slot.overlapped = OVERLAPPED{};
    slot.overlapped.hEvent = slot.event.get();
    ResetEvent(slot.event.get());
    slot.connected = false;
    if (!ConnectNamedPipe(pipe, &slot.overlapped)) {
      DWORD error = GetLastError();
      if (error == ERROR_PIPE_CONNECTED) {
        slot.connected = true;
        SetEvent(slot.event.get());
      } else if (error != ERROR_IO_PENDING) {
        slot.pipe.reset();
        SetLastError(error);
        return false;
      }
    }
    return true;
  }

  /// Every instance listens from the start: clients may come before the first Accept.
  void StartOtherInstances() {
    for (size_t i = 1; i < kInstances; ++i)
      StartInstance(i, false);
  }

  std::unique_ptr<PipeConnection> Accept(std::uint32_t timeoutMs) override {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (listening_) {
      ULONGLONG now = GetTickCount64();
      DWORD left = timeoutMs == INFINITE ? INFINITE
                                         : static_cast<DWORD>(now < deadline ? deadline - now : 0);
      std::optional<size_t> ready = WaitForClient(left);
      if (!ready)
        return nullptr;
      ListeningInstance& slot = slots_[*ready];
      next_ = (*ready + 1) % kInstances;
      if (!slot.connected) {
        DWORD ignored = 0;
        if (!GetOverlappedResult(slot.pipe.get(), &slot.overlapped, &ignored, FALSE)) {
          // No client came: a client that came and went, or the wait was aborted because
          // the thread that started it has ended. The slot listens afresh and the wait
          // goes on, so that a client already waiting is not turned away by a null.
          slot.pipe.reset();
          if (timeoutMs != INFINITE && GetTickCount64() >= deadline)
            return nullptr;
          continue;
        }
      }
      auto connection = std::make_unique<Win32PipeConnection>(std::move(slot.pipe));
      // Another client finds a free instance while this one is served.
      StartInstance(*ready, false);
      return connection;
    }
    return nullptr;
  }

  void StopListening() override {
    listening_ = false;
    for (ListeningInstance& slot : slots_) {
      if (!slot.pipe.valid())
        continue;
      if (!slot.connected) {
        CancelIo(slot.pipe.get());
        DWORD ignored = 0;
        GetOverlappedResult(slot.pipe.get(), &slot.overlapped, &ignored, TRUE);
      }
      slot.pipe.reset();
    }
  }

private:
  /// The slot of an instance whose wait for a client has ended, after making instances
  /// for the empty slots; none when nothing ended within the time-out.
  std::optional<size_t> WaitForClient(DWORD timeoutMs) {
    std::vector<HANDLE> events;
    for (size_t i = 0; i < kInstances; ++i) {
      if (!slots_[i].pipe.valid())
        StartInstance(i, false);
      if (slots_[i].pipe.valid())
        events.push_back(slots_[i].event.get());
    }
    if (events.empty())
      return std::nullopt;
    // The scan starts after the slot served last, so that no waiting client is passed
    // over for ever by the ones before it.
    for (size_t n = 0; n < kInstances; ++n) {
      size_t i = (next_ + n) % kInstances;
      if (slots_[i].pipe.valid() && WaitForSingleObject(slots_[i].event.get(), 0) == WAIT_OBJECT_0)
        return i;
    }
    DWORD result =
        WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE, timeoutMs);
    if (result >= WAIT_OBJECT_0 + events.size())
      return std::nullopt;
    for (size_t i = 0; i < kInstances; ++i)
      if (slots_[i].event.get() == events[result - WAIT_OBJECT_0])
        return i;
    return std::nullopt;
  }

  // Clients that found a free instance connect before the service reads their request;
  // with one instance, two agents that saw it free race for it and the loser's exchange
  // fails. One instance per session the machine may have, up to what one wait can watch.
  static constexpr size_t kInstances = MAXIMUM_WAIT_OBJECTS;
  std::u16string path_;
  ListeningInstance slots_[kInstances];
  size_t next_ = 0;
  bool listening_ = true;
};

} // namespace

std::unique_ptr<PipeServer> PipeServer::Create(const std::u16string& shortName) {
  if (shortName.empty() || shortName.find_first_of(u"\\/") != std::u16string::npos) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  auto server = std::make_unique<Win32PipeServer>(u"\\\\.\\pipe\\" + shortName);
  if (!server->StartInstance(0, true))
    return nullptr;
  server->StartOtherInstances();
  return server;
}

} // namespace platform
