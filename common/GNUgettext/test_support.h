// What the catalogue tests share: fresh folders, whole-file reads and writes, fixtures.
#pragma once

#include "text/TextConvert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace gettext_test {

namespace fs = std::filesystem;

/// A fresh, empty folder that is removed with everything in it when the test ends.
class ScopedTempDir {
public:
  ScopedTempDir() {
    std::random_device random;
    path_ = fs::temp_directory_path() / ("sa-gettext-" + std::to_string(random()));
    fs::create_directories(path_);
  }
  ~ScopedTempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }
  std::u16string u16() const { return path_.u16string(); }

private:
  fs::path path_;
};

/// The catalogues msgfmt made at build time from testdata/*.po ("basic", "basic_be", ...).
inline fs::path Fixture(const std::string& name) {
  return fs::path(SA_GETTEXT_FIXTURES) / (name + ".mo");
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
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
