// Whether a file exists, against real files, folders and names.
#include "platform/file_status.h"

#include "tests/support/files.h"
#include "tests/support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

TEST(FileStatusTest, OnlyFilesExist) {
  testing_support::ScopedTempDir dir;
  testing_support::WriteFileBytes(dir.folder() / "MKLOG.INI", "[settings]");
  testing_support::WriteFileBytes(dir.folder() / fs::path(u"caf\u00E9 \u4E2D.ini"), "");
  fs::create_directory(dir.folder() / "locale");
  // Test tuple <path, what stands there, exists>
  const struct {
    fs::path path;
    const char* what;
    bool exists;
  } cases[] = {
      {dir.folder() / "MKLOG.INI", "a file", true},
      {dir.folder() / fs::path(u"caf\u00E9 \u4E2D.ini"), "a file of a non-ASCII name", true},
      {dir.folder() / "locale", "a folder", false},
      {dir.folder() / "missing.ini", "nothing", false},
      {dir.folder() / "missing" / "MKLOG.INI", "no folder", false},
      {fs::path(), "an empty name", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(platform::FileExists(c.path.u16string()), c.exists);
  }
}

} // namespace
