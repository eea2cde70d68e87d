// What the catalogue tests share: fresh folders, whole-file reads and writes, fixtures.
#pragma once

#include "tests/support/files.h"
#include "tests/support/scoped_temp_dir.h"
#include "text/TextConvert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

namespace gettext_test {

namespace fs = std::filesystem;

using testing_support::ReadFileBytes;
using testing_support::ScopedTempDir;
using testing_support::WriteFileBytes;

/// The catalogues msgfmt made at build time from testdata/*.po ("basic", "basic_be", ...).
inline fs::path Fixture(const std::string& name) {
  return fs::path(SA_GETTEXT_FIXTURES) / (name + ".mo");
}

/// Overwrites a little-endian 32-bit word of a native-order catalogue.
inline void PutWord(std::string& bytes, size_t position, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[position + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

inline std::uint32_t GetWord(const std::string& bytes, size_t position) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = (value << 8) | static_cast<unsigned char>(bytes[position + i]);
  return value;
}

} // namespace gettext_test
