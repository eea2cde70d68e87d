// The named-pipe client on the real Win32 pipe calls.
#include "platform/named_pipe.h"

#include "platform/win32/win_support.h"

namespace platform {

PipeOutcome WaitForPipeInstance(const std::u16string& pipePath, std::uint32_t timeoutMs) {
  if (::WaitNamedPipeW(win32::Wide(pipePath), timeoutMs))
    return PipeOutcome{true, 0, 0};
  return PipeOutcome{false, GetLastError(), 0};
}

PipeOutcome CallPipe(const std::u16string& pipePath, std::span<const std::uint8_t> request,
                     std::span<std::uint8_t> reply, std::uint32_t timeoutMs) {
  DWORD bytesRead = 0;
  // CallNamedPipeW only reads the request; its parameter is not const-qualified.
  if (::CallNamedPipeW(win32::Wide(pipePath), const_cast<std::uint8_t*>(request.data()),
                       static_cast<DWORD>(request.size()), reply.data(),
                       static_cast<DWORD>(reply.size()), &bytesRead, timeoutMs))
    return PipeOutcome{true, 0, bytesRead};
  return PipeOutcome{false, GetLastError(), bytesRead};
}

std::u16string PipeLocation(const std::u16string& pipePath) {
  return pipePath;
}

} // namespace platform
