// File streams over the platform's read streams, failing with the runtime's own texts.
#include "framework/FileStream.h"

#include "framework/Resources.h"
#include "framework/SysUtils.h"
#include "platform/error_text.h"
#include "platform/read_stream.h"
#include "text/StringTableIds.h"

TFileStream::TFileStream(const std::u16string& fileName)
    : fStream(platform::ReadStream::Open(fileName)) {
  if (!fStream) {
    const std::uint32_t code = platform::LastErrorCode();
    throw EFOpenError(FmtLoadStr(SFOpenError, {fileName, SysErrorMessage(code)}));
  }
}

TFileStream::~TFileStream() = default;

std::int64_t TFileStream::Size() const {
  std::uint64_t size = 0;
  if (!fStream->Size(size))
    RaiseLastOSError();
  return static_cast<std::int64_t>(size);
}

std::vector<unsigned char> TFileStream::ReadBytes(std::int64_t count) {
  const std::int64_t size = Size();
  if (count < 0 || fPosition < 0 || fPosition > size || count > size - fPosition)
    throw EReadError(LoadStr(SReadError));
  std::vector<unsigned char> bytes(static_cast<size_t>(count));
  // The file may have shrunk since its size was read.
  if (fStream->ReadAt(static_cast<std::uint64_t>(fPosition), bytes.data(), bytes.size()) !=
      bytes.size())
    throw EReadError(LoadStr(SReadError));
  fPosition += count;
  return bytes;
}
