// Files read in place, opened without denying anyone: others may read, write or replace
// them while they are open here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

/// An existing file open for reading; closed when the object goes.
class ReadStream {
public:
  ReadStream(const ReadStream&) = delete;
  ReadStream& operator=(const ReadStream&) = delete;

  /// Null when the file cannot be opened, with the system's last error code set.
  static std::unique_ptr<ReadStream> Open(const std::u16string& path);

  /// The file's size in bytes; false on failure, with the last error code set.
  bool Size(std::uint64_t& size);

  /// Reads up to `length` bytes from `position` on, fewer only at the end of the file or
  /// on a failure; answers how many were read.
  std::size_t ReadAt(std::uint64_t position, void* buffer, std::size_t length);

private:
  // The system's open file; released through the deleter, which each system defines
  // beside the type.
  struct Handle;
  struct ReleaseHandle {
    void operator()(Handle* handle) const;
  };
  using HandlePtr = std::unique_ptr<Handle, ReleaseHandle>;

  explicit ReadStream(HandlePtr handle) : handle_(std::move(handle)) {}

  HandlePtr handle_;
};

} // namespace platform
