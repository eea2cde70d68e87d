// A text log that several processes append to, one writer at a time: while a writer
// holds it open, others may read it but not open it for writing.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace platform {

/// An open log. Writes go to the end; the file closes when the object goes.
class SharedLogFile {
public:
  ~SharedLogFile();
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

  struct Handle;

private:
  explicit SharedLogFile(std::unique_ptr<Handle> handle);
  std::unique_ptr<Handle> handle_;
};

} // namespace platform
