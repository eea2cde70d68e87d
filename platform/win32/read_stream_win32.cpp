// Read streams with CreateFileW, sharing read, write and delete access with everyone.
#include "platform/read_stream.h"

#include "platform/win32/win_support.h"

#include <algorithm>

namespace platform {

struct ReadStream::Handle {
  win32::ScopedHandle file;
};

void ReadStream::ReleaseHandle::operator()(Handle* handle) const {
  delete handle;
}

std::unique_ptr<ReadStream> ReadStream::Open(const std::u16string& path) {
  HandlePtr handle(new Handle);
  handle->file.reset(CreateFileW(win32::Wide(path), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle->file.valid())
    return nullptr;
  return std::unique_ptr<ReadStream>(new ReadStream(std::move(handle)));
}

bool ReadStream::Size(std::uint64_t& size) {
  LARGE_INTEGER fileSize{};
  if (!GetFileSizeEx(handle_->file.get(), &fileSize))
    return false;
  size = static_cast<std::uint64_t>(fileSize.QuadPart);
  return true;
}

std::size_t ReadStream::ReadAt(std::uint64_t position, void* buffer, std::size_t length) {
  std::size_t done = 0;
  while (done < length) {
    const std::uint64_t at = position + done;
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(at & 0xffffffffu);
    where.OffsetHigh = static_cast<DWORD>(at >> 32);
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(length - done, 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(handle_->file.get(), static_cast<char*>(buffer) + done, chunk, &got, &where) ||
        got == 0)
      break;
    done += got;
  }
  return done;
}

} // namespace platform
