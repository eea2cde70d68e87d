// What the fuzz targets share: one scratch file per process for the input bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace fuzz_support {

/// A file that holds the current input: the code under test reads files, not memory.
class ScratchFile {
public:
  explicit ScratchFile(const char* stem) {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            (std::string(stem) + "-" + std::to_string(random()) + ".bin");
  }
  ~ScratchFile() { Remove(); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  void Write(const std::uint8_t* data, size_t size) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out)
      std::abort(); // an input that never reached the disk would test nothing
  }
  void Write(const std::string& bytes) {
    Write(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  /// The file gone, as a reader may find it.
  void Remove() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

private:
  std::filesystem::path path_;
};

/// A broken promise of the code under test: libFuzzer records the input that caused it.
[[noreturn]] inline void Fault() {
  std::abort();
}

} // namespace fuzz_support
