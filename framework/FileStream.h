// The runtime's file stream for reading: a file opened so that it denies no one, read in
// whole blocks.
#pragma once

#include "framework/Exception.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {
class ReadStream;
}

SA_DECLARE_EXCEPTION(EFOpenError, EStreamError);
SA_DECLARE_EXCEPTION(EReadError, EStreamError);

class TFileStream {
public:
  /// Opens an existing file for reading; others may read and write it meanwhile. Raises
  /// EFOpenError with the file's name and the system's reason.
  explicit TFileStream(const std::u16string& fileName);
  ~TFileStream();
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  /// The file's size in bytes; raises EOSError when the system cannot tell.
  std::int64_t Size() const;

  std::int64_t Position() const { return fPosition; }
  void Seek(std::int64_t position) { fPosition = position; }

  /// Exactly `count` bytes from the position on, which moves past them. Fewer bytes left
  /// (or a negative count or position) raise EReadError before anything is allocated.
  std::vector<unsigned char> ReadBytes(std::int64_t count);

private:
  std::unique_ptr<platform::ReadStream> fStream;
  std::int64_t fPosition = 0;
};
