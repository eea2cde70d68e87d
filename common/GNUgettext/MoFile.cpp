// The MO catalogue reader: opening, the header and layout checks, and the binary search.
#include "common/GNUgettext/MoFile.h"

#include "platform/error_text.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

constexpr std::uint32_t kMagicNative = 0x950412de;
constexpr std::uint32_t kMagicSwapped = 0xde120495;
// Magic, revision, N, O and T; the hash table's fields after them are never read.
constexpr std::uint64_t kHeaderSize = 20;
// FormatMessageW's buffer in the original reader held 2,000 characters, the zero included.
constexpr size_t kReasonBufferLength = 2000;

std::uint32_t Swap(std::uint32_t v) {
  return (v >> 24) | ((v >> 8) & 0xff00) | ((v << 8) & 0xff0000) | (v << 24);
}

[[noreturn]] void RaiseNotValid(const std::u16string& filename) {
  throw EGGIOError(u"This file is not a valid GNU gettext mo file: " + filename);
}

} // namespace

TMoFile::TMoFile(const std::u16string& filename, std::int64_t Offset, std::int64_t Size,
                 bool xUseMemoryMappedFiles)
    : FUseMemoryMappedFiles(xUseMemoryMappedFiles) {
  const unsigned char* momemoryHandle = nullptr;
  std::uint64_t available = 0;
  if (FUseMemoryMappedFiles) {
    switch (mapping.Open(filename)) {
    case platform::MapStep::kNone:
      break;
    case platform::MapStep::kOpen:
      throw EGGIOError(u"Cannot open file " + filename);
    case platform::MapStep::kMapping:
      throw EGGIOError(u"Cannot create memory map on file " + filename);
    case platform::MapStep::kView: {
      std::u16string reason = platform::SystemErrorText(mapping.ErrorCode());
      reason.resize(std::min(reason.size(), kReasonBufferLength - 1));
      throw EGGIOError(u"Cannot map file " + filename + u" into memory. Reason: " + reason);
    }
    }
    momemoryHandle = mapping.Data();
    available = mapping.Size();
  } else {
    std::ifstream stream(std::filesystem::path(filename), std::ios::binary);
    if (!stream)
      throw EGGIOError(u"Cannot open file " + filename);
    stream.seekg(0, std::ios::end);
    auto fileSize = static_cast<std::int64_t>(stream.tellg());
    // Size 0 takes the rest of the file from Offset.
    std::int64_t length = Size > 0 ? Size : fileSize - Offset;
    if (Offset < 0 || length < 0 || Offset > fileSize || length > fileSize - Offset)
      throw EGGIOError(u"Cannot read file " + filename);
    copy.resize(static_cast<size_t>(length));
    stream.seekg(Offset);
    if (length > 0 && !stream.read(reinterpret_cast<char*>(copy.data()), length))
      throw EGGIOError(u"Cannot read file " + filename);
    momemoryHandle = copy.data();
    available = copy.size();
    Offset = 0;
  }

  if (Offset < 0 || static_cast<std::uint64_t>(Offset) > available)
    RaiseNotValid(filename);
  momemory = momemoryHandle + Offset;
  mosize = available - static_cast<std::uint64_t>(Offset);
  // A catalogue inside a larger file ends where its recorded size says.
  if (Size > 0 && static_cast<std::uint64_t>(Size) < mosize)
    mosize = static_cast<std::uint64_t>(Size);
  if (mosize < 4)
    RaiseNotValid(filename);

  std::uint32_t magic = Word(0);
  if (magic == kMagicSwapped)
    doswap = true;
  else if (magic != kMagicNative)
    RaiseNotValid(filename);
  CheckLayout(filename);

  if (N > 0) {
    startindex = 1;
    for (std::uint32_t n = N; n > 0; n /= 2)
      startindex *= 2;
    startindex /= 2;
  }
  startstep = startindex / 2;
}

TMoFile::~TMoFile() = default;

std::uint32_t TMoFile::Word(std::uint64_t position) const {
  std::uint32_t value;
  std::memcpy(&value, momemory + position, sizeof(value));
  return doswap ? Swap(value) : value;
}

void TMoFile::CheckLayout(const std::u16string& filename) {
  if (mosize < kHeaderSize)
    RaiseNotValid(filename);
  N = Word(8);
  O = Word(12);
  T = Word(16);
  // The search counts in 32-bit signed indices.
  if (N > 0x7fffffff)
    RaiseNotValid(filename);
  const std::uint64_t tableBytes = std::uint64_t{N} * 8;
  if (tableBytes > mosize || O > mosize - tableBytes || T > mosize - tableBytes)
    RaiseNotValid(filename);
  // Checked once here so that a lookup never has to: every string lies inside the data.
  for (std::uint32_t table : {O, T}) {
    for (std::uint32_t i = 0; i < N; ++i) {
      std::uint64_t length = Word(table + std::uint64_t{i} * 8);
      std::uint64_t position = Word(table + std::uint64_t{i} * 8 + 4);
      if (position > mosize || length > mosize - position)
        RaiseNotValid(filename);
    }
  }
}

std::string_view TMoFile::Entry(std::uint32_t table, std::uint32_t index) const {
  std::uint64_t at = table + std::uint64_t{index - 1} * 8;
  return std::string_view(reinterpret_cast<const char*>(momemory) + Word(at + 4), Word(at));
}

bool TMoFile::Find(std::string_view msgid, std::string_view& translation) const {
  if (N == 0)
    return false;
  std::int32_t i = startindex;
  std::int32_t s = startstep;
  for (;;) {
    std::string_view source = Entry(O, static_cast<std::uint32_t>(i));
    size_t common = std::min(msgid.size(), source.size());
    int c = common ? std::memcmp(msgid.data(), source.data(), common) : 0;
    if (c == 0)
      c = msgid.size() < source.size() ? -1 : (msgid.size() > source.size() ? 1 : 0);
    if (c == 0) {
      translation = Entry(T, static_cast<std::uint32_t>(i));
      return true;
    }
    if (s == 0)
      return false;
    if (c < 0)
      i = i > s ? i - s : 1;
    else
      i = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{i} + s, N));
    s /= 2;
  }
}

std::string TMoFile::gettext(std::string_view msgid, bool& found) const {
  std::string_view translation;
  found = Find(msgid, translation);
  return std::string(found ? translation : msgid);
}
