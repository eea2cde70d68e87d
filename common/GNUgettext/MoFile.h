// Read access to one GNU gettext MO catalogue and the lookup of one source text in it.
#pragma once

#include "common/GNUgettext/GnuGettextErrors.h"
#include "platform/mapped_file.h"

#include <cstdint>
#include <string>
#include <string_view>

/// One catalogue, a file of its own or a byte range inside a larger file. Read-only once
/// made, so lookups may run on several threads at once.
///
/// Every position and length the catalogue holds is checked when it is opened: a header
/// or a table that does not fit in the data, or a string entry that points outside it,
/// makes the catalogue invalid (EGGIOError), so lookups never read outside the data.
class TMoFile {
public:
  /// Size 0 means: up to the end of the file. Raises EGGIOError on every failure, having
  /// released whatever it had acquired. Always a mapped view: the system never reads a
  /// catalogue into a copy of its own.
  TMoFile(const std::u16string& filename, std::int64_t Offset, std::int64_t Size);
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
  void CheckLayout(const std::u16string& filename);

  bool doswap = false;
  std::uint32_t N = 0;
  std::uint32_t O = 0;
  std::uint32_t T = 0;
  std::int32_t startindex = 0;
  std::int32_t startstep = 0;
  platform::MappedFile mapping;
  const unsigned char* momemory = nullptr;
  std::uint64_t mosize = 0; // bytes from momemory to the end of the catalogue's data
};
