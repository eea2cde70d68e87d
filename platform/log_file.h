// A text log that several processes append to, one writer at a time: while a writer
// holds it open, others may read it but not open it for writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

/// An open log. Writes go to the end; the file closes when the object goes.
class SharedLogFile {
public:
  SharedLogFile(const SharedLogFile&) = delete;
  SharedLogFile& operator=(const SharedLogFile&) = delete;

  /// Opens an existing file for appending. Null when it does not exist, cannot be
  /// opened, or another writer holds it.
  static std::unique_ptr<SharedLogFile> OpenForAppend(const std::u16string& path);

  /// Creates the file, only when no file of that name exists: an existing one is never
  /// replaced or shortened. Null on failure.
  static std::unique_ptr<SharedLogFile> CreateNew(const std::u16string& path);

  /// Writes all the bytes, or none: on a failure the system reports (a full disk, say),
  /// bytes already written are cut off again and false is answered.
  bool Write(std::string_view bytes);

  /// Closes the file; false when the system reports a failure. Later writes fail.
  bool Close();

private:
  // The system's open file; released through the deleter, which each system defines
  // beside the type.
  struct Handle;
  struct ReleaseHandle {
    void operator()(Handle* handle) const;
  };
  using HandlePtr = std::unique_ptr<Handle, ReleaseHandle>;

  explicit SharedLogFile(HandlePtr handle) : handle_(std::move(handle)) {}
  static std::unique_ptr<SharedLogFile> Adopt(HandlePtr handle);

  // Each system's calls.
  /// Opens the file for writing at its end, holding it against other writers; only a
  /// file it creates when `createNew`. Null on failure.
  static HandlePtr OpenHandle(const std::u16string& path, bool createNew);
  /// Where the next bytes will go; false on failure.
  static bool EndOf(Handle& handle, std::uint64_t& end);
  /// Writes a first part of the bytes and answers its length; 0 on failure.
  static std::size_t WriteSome(Handle& handle, std::string_view bytes);
  /// Shortens the file to `end` again; nothing more can be done should that fail.
  static void CutAt(Handle& handle, std::uint64_t end);
  static bool CloseFile(HandlePtr handle);

  HandlePtr handle_;
};

} // namespace platform
