// The MO catalogue reader: opening, the header and layout checks, and the binary search.
#include "common/GNUgettext/MoFile.h"

#include "framework/FileStream.h"
#include "platform/error_text.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr std::uint32_t kMagicNative = 0x950412de;
constexpr std::uint32_t kMagicSwapped = 0xde120495;
// Magic, revision, N, O and T; the hash table's fields after them are never read.
constexpr std::uint64_t kHeaderSize = 20;
// The reason is read into a buffer of 2,000 characters, the terminating zero included.
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
  if (FUseMemoryMappedFiles)
    MapCatalogue(filename, Offset, Size);
  else
    CopyCatalogue(filename, Offset, Size);
  CheckCatalogue(filename);
}

void TMoFile::CopyCatalogue(const std::u16string& filename, std::int64_t Offset,
                            std::int64_t Size) {
  TFileStream stream(filename);
  if (Size == 0)
    Size = stream.Size();
  stream.Seek(Offset);
  copy = stream.ReadBytes(Size);
  momemory = copy.data();
  mosize = copy.size();
}

void TMoFile::MapCatalogue(const std::u16string& filename, std::int64_t Offset, std::int64_t Size) {
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
  const unsigned char* momemoryHandle = mapping.Data();
  const std::uint64_t available = mapping.Size();

  if (Offset < 0 || static_cast<std::uint64_t>(Offset) > available)
    RaiseNotValid(filename);
  momemory = momemoryHandle + Offset;
  mosize = available - static_cast<std::uint64_t>(Offset);
  // A catalogue inside a larger file ends where its recorded size says.
  if (Size > 0 && static_cast<std::uint64_t>(Size) < mosize)
    mosize = static_cast<std::uint64_t>(Size);
}

void TMoFile::CheckCatalogue(const std::u16string& filename) {
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

namespace {

/// Unsigned bytes, the first difference deciding, else the shorter first: the order of
/// the catalogue's source strings. Eight bytes at a time, as keys often share a long
/// beginning.
inline int CompareKeys(const unsigned char* a, size_t aLength, const unsigned char* b,
                       size_t bLength) {
  const size_t common = std::min(aLength, bLength);
  size_t i = 0;
  for (; i + 8 <= common; i += 8) {
    std::uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) {
      const std::uint64_t diff = x ^ y;
      // The first differing byte is the lowest one in memory order.
      i += (std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                       : std::countl_zero(diff)) /
           8;
      return a[i] < b[i] ? -1 : 1;
    }
  }
  for (; i < common; ++i)
    if (a[i] != b[i])
      return a[i] < b[i] ? -1 : 1;
  return aLength < bLength ? -1 : (aLength > bLength ? 1 : 0);
}

/// One table entry, its length and position, in the catalogue's byte order.
template <bool Swapped>
void ReadEntry(const unsigned char* at, std::uint32_t& length, std::uint32_t& position) {
  std::memcpy(&length, at, 4);
  std::memcpy(&position, at + 4, 4);
  if constexpr (Swapped) {
    length = Swap(length);
    position = Swap(position);
  }
}

/// The search of the catalogue's steps, made once per byte order so that the loop does
/// not ask which one on every read.
template <bool Swapped>
bool Search(const unsigned char* momemory, std::uint32_t O, std::uint32_t T, std::int32_t N,
            std::int32_t startindex, std::int32_t startstep, std::string_view msgid,
            std::string_view& translation) {
  const auto* key = reinterpret_cast<const unsigned char*>(msgid.data());
  std::int32_t i = startindex; // 1-based
  std::int32_t s = startstep;
  for (;;) {
    const std::size_t entry = std::size_t{8} * static_cast<std::uint32_t>(i - 1);
    std::uint32_t length, position;
    ReadEntry<Swapped>(momemory + O + entry, length, position);
    const int c = CompareKeys(key, msgid.size(), momemory + position, length);
    if (c == 0) {
      ReadEntry<Swapped>(momemory + T + entry, length, position);
      translation = std::string_view(reinterpret_cast<const char*>(momemory) + position, length);
      return true;
    }
    if (s == 0)
      return false;
    const std::int32_t down = i > s ? i - s : 1;
    const std::int32_t up =
        static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{i} + s, N));
    i = c < 0 ? down : up;
    s /= 2;
  }
}

} // namespace

bool TMoFile::Find(std::string_view msgid, std::string_view& translation) const {
  if (N == 0)
    return false;
  const auto n = static_cast<std::int32_t>(N);
  return doswap ? Search<true>(momemory, O, T, n, startindex, startstep, msgid, translation)
                : Search<false>(momemory, O, T, n, startindex, startstep, msgid, translation);
}

std::string TMoFile::gettext(std::string_view msgid, bool& found) const {
  std::string_view translation;
  found = Find(msgid, translation);
  return std::string(found ? translation : msgid);
}
