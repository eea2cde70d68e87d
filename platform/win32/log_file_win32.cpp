// The shared log on Windows: opens that let others read but not write.
#include "platform/log_file.h"

#include "platform/win32/win_support.h"

namespace platform {

struct SharedLogFile::Handle {
  win32::ScopedHandle file;
};

void SharedLogFile::ReleaseHandle::operator()(Handle* handle) const {
  delete handle;
}

SharedLogFile::HandlePtr SharedLogFile::OpenHandle(const std::u16string& path, bool createNew) {
  HandlePtr handle(new Handle);
  handle->file.reset(CreateFileW(
      win32::Wide(path), createNew ? GENERIC_WRITE : GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
      nullptr, createNew ? CREATE_NEW : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle->file.valid())
    return nullptr;
  // A device or pipe of that name is no log.
  if (GetFileType(handle->file.get()) != FILE_TYPE_DISK)
    return nullptr;
  LARGE_INTEGER none{};
  if (!SetFilePointerEx(handle->file.get(), none, nullptr, FILE_END))
    return nullptr;
  return handle;
}

bool SharedLogFile::EndOf(Handle& handle, std::uint64_t& end) {
  // The file was positioned at its end when opened, and only this writer moves it.
  LARGE_INTEGER none{}, position{};
  if (!SetFilePointerEx(handle.file.get(), none, &position, FILE_CURRENT))
    return false;
  end = static_cast<std::uint64_t>(position.QuadPart);
  return true;
}

std::size_t SharedLogFile::WriteSome(Handle& handle, std::string_view bytes) {
  DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
  DWORD written = 0;
  if (!WriteFile(handle.file.get(), bytes.data(), chunk, &written, nullptr))
    return 0;
  return written;
}

void SharedLogFile::CutAt(Handle& handle, std::uint64_t end) {
  LARGE_INTEGER position{};
  position.QuadPart = static_cast<LONGLONG>(end);
  if (SetFilePointerEx(handle.file.get(), position, nullptr, FILE_BEGIN))
    SetEndOfFile(handle.file.get());
}

bool SharedLogFile::CloseFile(HandlePtr handle) {
  return CloseHandle(handle->file.release()) != 0;
}

} // namespace platform
