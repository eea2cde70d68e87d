// Read-only views of whole files, shared with other readers of the same file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

/// The step of mapping a file that failed.
enum class MapStep { kNone, kOpen, kMapping, kView };

/// A whole file mapped read-only. Owns the file, its mapping and the view; all three are
/// released when the object goes, or when a later step of Open fails.
class MappedFile {
public:
  MappedFile() = default;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  /// Opens an existing file for reading (others may read it too) and maps all of it.
  /// Answers kNone on success, else the failed step; ErrorCode() then has the system's
  /// code. An empty file cannot be mapped (the mapping step fails on both systems).
  MapStep Open(const std::u16string& path);

  const unsigned char* Data() const { return data_; }
  std::uint64_t Size() const { return size_; }
  std::uint32_t ErrorCode() const { return errorCode_; }

private:
  // The system's file, mapping and view; released through the deleter, which each
  // system defines beside the type.
  struct Handles;
  struct ReleaseHandles {
    void operator()(Handles* handles) const;
  };
  using HandlesPtr = std::unique_ptr<Handles, ReleaseHandles>;
  struct View {
    HandlesPtr handles;
    const unsigned char* data = nullptr;
    std::uint64_t size = 0;
  };
  /// Each system's steps: on failure the failed step, with the last error code set, and
  /// every handle taken so far released.
  static MapStep MapWholeFile(const std::u16string& path, View& view);

  HandlesPtr handles_;
  const unsigned char* data_ = nullptr;
  std::uint64_t size_ = 0;
  std::uint32_t errorCode_ = 0;
};

} // namespace platform
