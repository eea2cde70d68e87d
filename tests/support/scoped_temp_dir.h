// A fresh temporary folder of a test's own, removed with everything in it at scope end.
#pragma once

#include <filesystem>
#include <string>

namespace testing_support {

class ScopedTempDir {
public:
  /// Creates a folder no other test or process uses; throws when it cannot.
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::filesystem::path& folder() const { return fFolder; }
  /// The folder in UTF-8, as child processes and environment values take it.
  const std::string& path() const { return fPath; }
  /// The folder in UTF-16, as the system's own paths are held.
  std::u16string u16() const { return fFolder.u16string(); }
  /// path() joined with a name by the platform's separator.
  std::string operator/(const std::string& name) const;

private:
  std::filesystem::path fFolder;
  std::string fPath;
};

} // namespace testing_support
