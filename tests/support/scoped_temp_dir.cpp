// Temporary folders through the standard library alone, the same on every system.
#include "tests/support/scoped_temp_dir.h"

#include <atomic>
#include <chrono>
#include <random>

namespace testing_support {

namespace fs = std::filesystem;

namespace {

std::string Utf8(const fs::path& path) {
  std::u8string bytes = path.u8string();
  return std::string(bytes.begin(), bytes.end());
}

} // namespace

ScopedTempDir::ScopedTempDir() {
  static std::atomic<unsigned> serial{0};
  std::random_device random;
  const fs::path base = fs::temp_directory_path();
  // create_directory answers false for a name that exists, so a name is never shared,
  // whichever process or thread picked it first; the random part keeps the loop short.
  for (;;) {
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path candidate = base / ("sa-test-" + std::to_string(random()) + "-" +
                                 std::to_string(now % 1000000007) + "-" + std::to_string(serial++));
    if (fs::create_directory(candidate)) {
      fFolder = candidate;
      break;
    }
  }
  // Private to this user, as a test's logs and sockets should be.
  fs::permissions(fFolder, fs::perms::owner_all, fs::perm_options::replace);
  fPath = Utf8(fFolder);
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ignored;
  // Tests may leave read-only folders behind; make them removable first.
  fs::permissions(fFolder, fs::perms::owner_all, fs::perm_options::add, ignored);
  for (auto it = fs::recursive_directory_iterator(fFolder, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored))
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(fFolder, ignored);
}

std::string ScopedTempDir::operator/(const std::string& name) const {
  return fPath + static_cast<char>(fs::path::preferred_separator) + name;
}

} // namespace testing_support
