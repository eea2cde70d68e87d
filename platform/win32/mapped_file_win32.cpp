// Whole-file read-only views with CreateFileW, CreateFileMappingW and MapViewOfFile.
#include "platform/mapped_file.h"

#include "platform/win32/win_support.h"

namespace platform {

struct MappedFile::Handles {
  win32::ScopedHandle file;
  win32::ScopedHandle mapping;
  const void* view = nullptr;

  ~Handles() {
    // The view goes before the mapping and the file that back it.
    if (view)
      UnmapViewOfFile(view);
  }
};

MappedFile::MappedFile() = default;
MappedFile::~MappedFile() = default;

MapStep MappedFile::Open(const std::u16string& path) {
  handles_.reset();
  data_ = nullptr;
  size_ = 0;
  auto handles = std::make_unique<Handles>();
  handles->file.reset(CreateFileW(win32::Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handles->file.valid()) {
    errorCode_ = GetLastError();
    return MapStep::kOpen;
  }
  LARGE_INTEGER fileSize{};
  if (!GetFileSizeEx(handles->file.get(), &fileSize))
    fileSize.QuadPart = 0;
  handles->mapping.reset(
      CreateFileMappingW(handles->file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!handles->mapping.valid()) {
    errorCode_ = GetLastError();
    return MapStep::kMapping;
  }
  handles->view = MapViewOfFile(handles->mapping.get(), FILE_MAP_READ, 0, 0, 0);
  if (!handles->view) {
    errorCode_ = GetLastError();
    return MapStep::kView;
  }
  data_ = static_cast<const unsigned char*>(handles->view);
  size_ = static_cast<std::uint64_t>(fileSize.QuadPart);
  errorCode_ = 0;
  handles_ = std::move(handles);
  return MapStep::kNone;
}

} // namespace platform
