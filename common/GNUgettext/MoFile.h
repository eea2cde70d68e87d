// Read access to one GNU gettext MO catalogue and the lookup of one source text in it.
#pragma once

#include "common/GNUgettext/GnuGettextErrors.h"
#include "platform/mapped_file.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

/// One catalogue, a file of its own or a byte range inside a larger file. Read-only once
/// made, so lookups may run on several threads at once.
///
/// Every position and length the catalogue holds is checked when it is opened: a header
/// or a table that does not fit in the data, or a string entry that points outside it,
/// makes the catalogue invalid (EGGIOError), so lookups never read outside the data.
class TMoFile {
public:
  /// The catalogue is `Size` bytes at `Offset` in the file. Mapped (the agent's way): the
  /// whole file is mapped and Size 0 means up to its end; failures raise EGGIOError.
  /// Copied: the bytes are read into memory through a file stream that denies no one,
  /// Size 0 meaning the file's whole size; the stream's own failures (EFOpenError, and
  /// EReadError for a short read) pass through. Either way a catalogue that is not valid
  /// raises EGGIOError, and whatever was acquired is released first.
  TMoFile(const std::u16string& filename, std::int64_t Offset, std::int64_t Size,
          bool xUseMemoryMappedFiles);
  ~TMoFile();
  TMoFile(const TMoFile&) = delete;
  TMoFile& operator=(const TMoFile&) = delete;

  /// The translation's bytes with found true, or msgid itself with found false.
  std::string gettext(std::string_view msgid, bool& found) const;

  /// The translation in place, valid as long as the catalogue; false when absent.
  bool Find(std::string_view msgid, std::string_view& translation) const;

  bool isSwappedArchitecture() const { return doswap; }
  std::uint32_t Count() const { return N; }

  /// Holders of this catalogue; counted by the catalogue locator under its lock.
  std::int32_t Users = 0;

private:
  std::uint32_t Word(std::uint64_t position) const;
  void MapCatalogue(const std::u16string& filename, std::int64_t Offset, std::int64_t Size);
  void CopyCatalogue(const std::u16string& filename, std::int64_t Offset, std::int64_t Size);
  /// The header and the tables, and the search's start; the same for both modes.
  void CheckCatalogue(const std::u16string& filename);
  void CheckLayout(const std::u16string& filename);

  bool doswap = false;
  std::uint32_t N = 0;
  std::uint32_t O = 0;
  std::uint32_t T = 0;
  std::int32_t startindex = 0;
  std::int32_t startstep = 0;
  bool FUseMemoryMappedFiles = true;
  platform::MappedFile mapping;    // mapped
  std::vector<unsigned char> copy; // copied
  const unsigned char* momemory = nullptr;
  std::uint64_t mosize = 0; // bytes from momemory to the end of the catalogue's data
};
