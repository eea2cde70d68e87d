// Command output on Windows: WriteConsoleW where a console shows it, so that every
// character arrives whatever the console's code page; UTF-8 into files and pipes.
#include "platform/console.h"

#include "platform/win32/win_support.h"
#include "text/TextConvert.h"

#include <algorithm>

namespace platform {
namespace {

HANDLE StandardHandle(OutputStream stream) {
  return GetStdHandle(stream == OutputStream::kOutput ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsUsable(HANDLE handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

bool WriteToConsole(HANDLE console, const std::u16string& text) {
  size_t done = 0;
  while (done < text.size()) {
    // Consoles take long writes badly: a few thousand characters at a time.
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 4096));
    DWORD written = 0;
    if (!WriteConsoleW(console, win32::Wide(text) + done, chunk, &written, nullptr) || written == 0)
      return false;
    done += written;
  }
  return true;
}

bool WriteToFile(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
      return false;
    done += written;
  }
  return true;
}

} // namespace

bool WriteText(OutputStream stream, const std::u16string& text) {
  HANDLE handle = StandardHandle(stream);
  if (!IsUsable(handle))
    return false;
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode))
    return WriteToConsole(handle, text);
  return WriteToFile(handle, Utf16ToUtf8(text));
}

bool UseStartingConsole() {
  // Output redirected by whoever started the program goes where it was sent.
  if (IsUsable(StandardHandle(OutputStream::kOutput)))
    return true;
  if (!AttachConsole(ATTACH_PARENT_PROCESS))
    return false;
  // Attaching gives a windowed program the console but not standard handles on it. The
  // handle opened here stays the standard one until the process ends.
  HANDLE console =
      CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (!IsUsable(console))
    return false;
  SetStdHandle(STD_OUTPUT_HANDLE, console);
  SetStdHandle(STD_ERROR_HANDLE, console);
  return true;
}

} // namespace platform
