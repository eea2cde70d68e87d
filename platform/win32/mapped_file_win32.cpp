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

void MappedFile::ReleaseHandles::operator()(Handles* handles) const {
  delete handles;
}

MapStep MappedFile::MapWholeFile(const std::u16string& path, View& view) {
  HandlesPtr handles(new Handles);
  handles->file.reset(CreateFileW(win32::Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handles->file.valid())
    return MapStep::kOpen;
  LARGE_INTEGER fileSize{};
  if (!GetFileSizeEx(handles->file.get(), &fileSize))
    fileSize.QuadPart = 0;
  handles->mapping.reset(
      CreateFileMappingW(handles->file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!handles->mapping.valid())
    return MapStep::kMapping;
  handles->view = MapViewOfFile(handles->mapping.get(), FILE_MAP_READ, 0, 0, 0);
  if (!handles->view)
    return MapStep::kView;
  view.data = static_cast<const unsigned char*>(handles->view);
  view.size = static_cast<std::uint64_t>(fileSize.QuadPart);
  view.handles = std::move(handles);
  return MapStep::kNone;
}

} // namespace platform
