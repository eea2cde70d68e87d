// The catalogue locator: the scan for the appended table, and the shared open catalogues.
#include "common/GNUgettext/FileLocator.h"

#include "common/GNUgettext/EmbeddedCatalogues.h"
#include "common/GNUgettext/TranslationState.h"
#include "framework/SysUtils.h"
#include "text/TextConvert.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

namespace {

constexpr std::int64_t kBlockSize = 100000;

bool ReadInt64(std::istream& in, std::int64_t& value) {
  unsigned char bytes[8];
  if (!in.read(reinterpret_cast<char*>(bytes), sizeof(bytes)))
    return false;
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i)
    bits = (bits << 8) | bytes[i];
  value = static_cast<std::int64_t>(bits);
  return true;
}

/// The position in signature of its byte that occurs least often in sample: the scan
/// looks for that byte first.
size_t RarestByte(std::string_view signature, const char* sample, size_t size) {
  std::vector<size_t> counts(256);
  for (size_t i = 0; i < size; ++i)
    ++counts[static_cast<unsigned char>(sample[i])];
  size_t rarest = 0;
  for (size_t i = 1; i < signature.size(); ++i)
    if (counts[static_cast<unsigned char>(signature[i])] <
        counts[static_cast<unsigned char>(signature[rarest])])
      rarest = i;
  return rarest;
}

/// The first occurrence of signature in [begin, end), or nullptr. Only where memchr finds
/// the signature's rare byte is the whole signature compared: memchr passes over the
/// bytes in between many times faster than any step-by-step search.
const char* FindIn(const char* begin, const char* end, std::string_view signature, size_t rareAt) {
  const size_t length = signature.size();
  if (static_cast<size_t>(end - begin) < length)
    return nullptr;
  const char rare = signature[rareAt];
  const char* from = begin + rareAt;
  const char* const to = end - length + rareAt + 1; // past the rare byte's last possible place
  while (from < to) {
    const void* found = std::memchr(from, rare, static_cast<size_t>(to - from));
    if (found == nullptr)
      return nullptr;
    const char* start = static_cast<const char*>(found) - rareAt;
    if (std::memcmp(start, signature.data(), length) == 0)
      return start;
    from = static_cast<const char*>(found) + 1;
  }
  return nullptr;
}

/// Base + relative, if that lies inside the file. The table's values are any 64-bit
/// numbers: they are checked before the addition, which could otherwise overflow.
bool InFile(std::int64_t base, std::int64_t relative, std::int64_t fileSize,
            std::int64_t& position) {
  if (relative < -base || relative > fileSize - base)
    return false;
  position = base + relative;
  return true;
}

} // namespace

TFileLocator::TFileLocator() {
  filelist.Sorted = true;
  filelist.Duplicates = TDuplicates::dupError;
  MoFiles.Sorted = true;
  MoFiles.Duplicates = TDuplicates::dupError;
}

TFileLocator::~TFileLocator() {
  for (int i = filelist.Count() - 1; i >= 0; --i)
    filelist.Delete(i);
}

std::int64_t TFileLocator::FindSignaturePos(std::string_view signature, std::istream& str) {
  // Each window is one block and the block before it. An occurrence that lay wholly in
  // the earlier block was found in the window before, so of that block only the last
  // signature length - 1 bytes are kept: the answers are the same, the copying less.
  str.clear();
  str.seekg(0);
  if (signature.empty())
    return 0; // found at once, at the start: the same as absent
  const size_t keep = signature.size() - 1;
  std::vector<char> window(keep + 2 * kBlockSize);
  auto readBlock = [&](char* into) {
    str.read(into, kBlockSize);
    return static_cast<std::int64_t>(str.gcount());
  };
  std::int64_t held = readBlock(window.data()); // block A
  const size_t rareAt = RarestByte(signature, window.data(), static_cast<size_t>(held));
  std::int64_t windowStart = 0; // file position of window[0]
  for (;;) {
    std::int64_t c = readBlock(window.data() + held); // block B
    const char* begin = window.data();
    const char* end = begin + held + c;
    if (const char* hit = FindIn(begin, end, signature, rareAt))
      return windowStart + (hit - begin);
    if (c < kBlockSize)
      return 0;
    // Keep the tail of B in front of the next block.
    std::int64_t tail = std::min<std::int64_t>(static_cast<std::int64_t>(keep), held + c);
    std::copy(end - tail, end, window.begin());
    windowStart += held + c - tail;
    held = tail;
  }
}

void TFileLocator::Analyze() {
  basedirectory = ExtractFilePath(Translation().ExecutablePath);
  std::ifstream str(std::filesystem::path(Translation().ExecutablePath), std::ios::binary);
  if (!str)
    return;
  str.seekg(0, std::ios::end);
  const std::int64_t fileSize = str.tellg();
  const std::int64_t B = FindSignaturePos(embedded_catalogues::BeginMarker(), str);
  const std::int64_t E = FindSignaturePos(embedded_catalogues::EndMarker(), str);
  if (!(B > 0 && E > 0))
    return;
  const std::int64_t Base = B + embedded_catalogues::kMarkerLength;
  str.clear();
  std::int64_t first = 0;
  if (E - 8 < Base || !str.seekg(E - 8) || !ReadInt64(str, first))
    return;
  std::int64_t next = 0;
  if (!InFile(Base, first, fileSize, next))
    return;
  std::int64_t position = Base;
  while (position < E) {
    std::int64_t r = 0;
    if (next < Base || next > fileSize || !str.seekg(next) || !ReadInt64(str, r) || r == 0)
      return;
    const std::int64_t nameStart = next + 24;
    if (!InFile(Base, r, fileSize, next))
      return;
    auto info = std::make_unique<TEmbeddedFileInfo>();
    std::int64_t d = 0;
    if (!ReadInt64(str, d) || !ReadInt64(str, info->size) ||
        !InFile(Base, d, fileSize, info->offset))
      return;
    // The name ends where the next entry starts; positions outside the file, and a
    // catalogue that does not lie wholly inside it, end the analysis like a short read.
    if (r < 0 || next < nameStart || next > fileSize || d < 0 || info->size < 0 ||
        info->offset > fileSize || info->size > fileSize - info->offset)
      return;
    std::string name(static_cast<size_t>(next - nameStart), '\0');
    if (!name.empty() && !str.read(name.data(), static_cast<std::streamsize>(name.size())))
      return;
    std::u16string key = Trim(Utf8ToUtf16(name));
    if (filelist.IndexOf(key) >= 0)
      return;
    filelist.AddObject(std::move(key), std::move(info));
    position = next;
  }
}

const TEmbeddedFileInfo* TFileLocator::EmbeddedEntry(const std::u16string& filename) const {
  if (filename.compare(0, basedirectory.size(), basedirectory) != 0)
    return nullptr;
  int index = filelist.IndexOf(std::u16string_view(filename).substr(basedirectory.size()));
  return index < 0 ? nullptr : filelist.Objects(index);
}

bool TFileLocator::FileExists(const std::u16string& filename) const {
  return EmbeddedEntry(filename) != nullptr;
}

TMoFile* TFileLocator::GetMoFile(const std::u16string& filename) {
  std::u16string realfile = filename;
  std::int64_t offset = 0;
  std::int64_t size = 0;
  if (const TEmbeddedFileInfo* entry = EmbeddedEntry(filename)) {
    realfile = Translation().ExecutablePath;
    offset = entry->offset;
    size = entry->size;
  }
  std::unique_lock<TReaderWriterLock> guard(MoFilesCS);
  std::u16string key = realfile + u" //\\\\ " + Utf8ToUtf16(std::to_string(offset));
  int index = MoFiles.IndexOf(key);
  TMoFile* mofile;
  if (index >= 0) {
    mofile = MoFiles.Objects(index);
  } else {
    auto created = std::make_unique<TMoFile>(realfile, offset, size, true);
    mofile = created.get();
    MoFiles.AddObject(std::move(key), std::move(created));
  }
  ++mofile->Users;
  return mofile;
}

void TFileLocator::ReleaseMoFile(TMoFile* mofile) {
  Assert(mofile != nullptr, u"Assertion failed");
  std::unique_lock<TReaderWriterLock> guard(MoFilesCS);
  --mofile->Users;
  if (mofile->Users <= 0) {
    for (int i = MoFiles.Count() - 1; i >= 0; --i) {
      if (MoFiles.Objects(i) == mofile) {
        MoFiles.Delete(i);
        break;
      }
    }
  }
}
