// Whole-file read-only views: the bytes as the file holds them, readers side by side,
// and a failed step that leaves nothing mapped.
#include "platform/mapped_file.h"

#include "tests/support/files.h"
#include "tests/support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>

namespace {

namespace fs = std::filesystem;
using platform::MappedFile;
using platform::MapStep;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

std::string SampleBytes(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>(i * 31 % 256); // zero bytes included
  return bytes;
}

TEST(MappedFileTest, ViewHoldsTheWholeFileAndOthersMayReadIt) {
  testing_support::ScopedTempDir dir;
  const fs::path file = dir.folder() / "messages.mo";
  // More than a page, and not a whole number of pages.
  const std::string bytes = SampleBytes(3 * 4096 + 5);
  WriteFileBytes(file, bytes);
  MappedFile first;
  ASSERT_EQ(first.Open(file.u16string()), MapStep::kNone) << first.ErrorCode();
  EXPECT_EQ(first.ErrorCode(), 0u);
  ASSERT_EQ(first.Size(), bytes.size());
  EXPECT_EQ(std::memcmp(first.Data(), bytes.data(), bytes.size()), 0);

  MappedFile second;
  ASSERT_EQ(second.Open(file.u16string()), MapStep::kNone) << second.ErrorCode();
  EXPECT_EQ(second.Size(), bytes.size());
  EXPECT_EQ(ReadFileBytes(file), bytes);
}

TEST(MappedFileTest, FailedStepIsNamedWithTheSystemsCode) {
  testing_support::ScopedTempDir dir;
  WriteFileBytes(dir.folder() / "empty.mo", "");
  WriteFileBytes(dir.folder() / "good.mo", "good");
  fs::create_directory(dir.folder() / "folder.mo");
  // Test tuple <name, failed step or none when either step may fail>
  const struct {
    const char* name;
    std::optional<MapStep> step;
  } cases[] = {
      {"missing.mo", MapStep::kOpen},
      {"empty.mo", MapStep::kMapping},
      // Windows cannot open a folder as a file; Linux opens it and cannot map it.
      {"folder.mo", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // A view held before a failed open is released with it.
    MappedFile file;
    ASSERT_EQ(file.Open((dir.folder() / "good.mo").u16string()), MapStep::kNone);
    MapStep step = file.Open((dir.folder() / c.name).u16string());
    if (c.step)
      EXPECT_EQ(step, *c.step);
    else
      EXPECT_NE(step, MapStep::kNone);
    EXPECT_NE(file.ErrorCode(), 0u);
    EXPECT_EQ(file.Data(), nullptr);
    EXPECT_EQ(file.Size(), 0u);
  }
  MappedFile missing;
  missing.Open((dir.folder() / "missing.mo").u16string());
  // "File not found" is 2 on both systems; the translator reports that code's text.
  EXPECT_EQ(missing.ErrorCode(), 2u);
}

} // namespace
