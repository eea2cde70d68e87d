// The shared log on Windows: opens that let others read but not write.
#include "platform/log_file.h"

#include "platform/win32/win_support.h"

namespace platform {

struct SharedLogFile::Handle {
  win32::ScopedHandle file;
};

namespace {

std::unique_ptr<SharedLogFile::Handle> OpenShared(const std::u16string& path, DWORD access,
                                                  DWORD disposition) {
  auto handle = std::make_unique<SharedLogFile::Handle>();
  handle->file.reset(CreateFileW(win32::Wide(path), access, FILE_SHARE_READ, nullptr, disposition,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
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

} // namespace

SharedLogFile::SharedLogFile(std::unique_ptr<Handle> handle) : handle_(std::move(handle)) {}

SharedLogFile::~SharedLogFile() = default;

std::unique_ptr<SharedLogFile> SharedLogFile::OpenForAppend(const std::u16string& path) {
  auto handle = OpenShared(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
  return handle ? std::unique_ptr<SharedLogFile>(new SharedLogFile(std::move(handle))) : nullptr;
}

std::unique_ptr<SharedLogFile> SharedLogFile::CreateNew(const std::u16string& path) {
  auto handle = OpenShared(path, GENERIC_WRITE, CREATE_NEW);
  return handle ? std::unique_ptr<SharedLogFile>(new SharedLogFile(std::move(handle))) : nullptr;
}

bool SharedLogFile::Write(std::string_view bytes) {
  if (!handle_->file.valid())
    return false;
  // Others may not write while the file is open, so the end stays where it is.
  LARGE_INTEGER none{}, end{};
  if (!SetFilePointerEx(handle_->file.get(), none, &end, FILE_CURRENT))
    return false;
  while (!bytes.empty()) {
    DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
    DWORD written = 0;
    if (!WriteFile(handle_->file.get(), bytes.data(), chunk, &written, nullptr) || written == 0) {
      // A full disk may take part of the bytes: cut them off again, so no torn line stays.
      if (SetFilePointerEx(handle_->file.get(), end, nullptr, FILE_BEGIN))
        SetEndOfFile(handle_->file.get());
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

bool SharedLogFile::Close() {
  if (!handle_->file.valid())
    return false;
  return CloseHandle(handle_->file.release()) != 0;
}

} // namespace platform
