// The shared log: one writer at a time, readers beside it, creation that never replaces,
// and appends that stay whole while writers take turns.
#include "platform/log_file.h"

#include "tests/support/files.h"
#include "tests/support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform::SharedLogFile;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

TEST(SharedLogFileTest, OneWriterAtATimeAndCreateNeverReplaces) {
  testing_support::ScopedTempDir dir;
  const fs::path file = dir.folder() / "shared.log";
  const std::u16string name = file.u16string();
  EXPECT_FALSE(SharedLogFile::OpenForAppend(name));
  {
    auto first = SharedLogFile::CreateNew(name);
    ASSERT_TRUE(first);
    EXPECT_FALSE(SharedLogFile::OpenForAppend(name));
    EXPECT_FALSE(SharedLogFile::CreateNew(name));
    EXPECT_TRUE(first->Write("a\r\n"));
    // Others may read it meanwhile.
    std::ifstream reader(file, std::ios::binary);
    EXPECT_TRUE(reader.good());
    EXPECT_TRUE(first->Close());
    EXPECT_FALSE(first->Write("late"));
    EXPECT_FALSE(first->Close());
  }
  EXPECT_FALSE(SharedLogFile::CreateNew(name));
  auto again = SharedLogFile::OpenForAppend(name);
  ASSERT_TRUE(again);
  EXPECT_TRUE(again->Write("b\r\n"));
  EXPECT_TRUE(again->Write(""));
  EXPECT_TRUE(again->Close());
  EXPECT_EQ(ReadFileBytes(file), "a\r\nb\r\n");
}

TEST(SharedLogFileTest, DestroyingTheObjectLetsTheNextWriterIn) {
  testing_support::ScopedTempDir dir;
  const fs::path file = dir.folder() / "shared.log";
  WriteFileBytes(file, "kept\r\n");
  {
    auto writer = SharedLogFile::OpenForAppend(file.u16string());
    ASSERT_TRUE(writer);
    EXPECT_TRUE(writer->Write("one\r\n"));
  }
  auto next = SharedLogFile::OpenForAppend(file.u16string());
  ASSERT_TRUE(next);
  EXPECT_TRUE(next->Write("two\r\n"));
  next.reset();
  EXPECT_EQ(ReadFileBytes(file), "kept\r\none\r\ntwo\r\n");
}

TEST(SharedLogFileTest, WhatIsNoLogFileFailsToOpen) {
  testing_support::ScopedTempDir dir;
  fs::create_directory(dir.folder() / "folder.log");
  // Test tuple <path, what stands there>
  const struct {
    fs::path path;
    const char* what;
  } cases[] = {
      {dir.folder() / "folder.log", "a folder"},
      {dir.folder() / "missing" / "Debugg.log", "a missing folder"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FALSE(SharedLogFile::OpenForAppend(c.path.u16string()));
    EXPECT_FALSE(SharedLogFile::CreateNew(c.path.u16string()));
  }
  EXPECT_TRUE(fs::is_directory(dir.folder() / "folder.log"));
  EXPECT_FALSE(fs::exists(dir.folder() / "missing"));
}

TEST(SharedLogFileTest, ConcurrentWritersLeaveOnlyWholeLines) {
  testing_support::ScopedTempDir dir;
  const fs::path file = dir.folder() / "Debugg.log";
  const std::u16string name = file.u16string();
  constexpr int kWriters = 3, kAttempts = 400;
  std::atomic<int> written[kWriters] = {};
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      const std::string line =
          "writer " + std::to_string(w) + " " + std::string(300, 'a' + w) + "\r\n";
      for (int i = 0; i < kAttempts; ++i) {
        auto log = SharedLogFile::OpenForAppend(name);
        if (!log)
          log = SharedLogFile::CreateNew(name);
        if (log && log->Write(line) && log->Close())
          ++written[w];
      }
    });
  }
  for (auto& t : writers)
    t.join();
  const std::string content = ReadFileBytes(file);
  int seen[kWriters] = {};
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "torn last line";
    std::string line = content.substr(start, end - start);
    ASSERT_EQ(line.size(), 309u) << line;
    int w = line[7] - '0';
    ASSERT_TRUE(w >= 0 && w < kWriters) << line;
    EXPECT_EQ(line, "writer " + std::to_string(w) + " " + std::string(300, 'a' + w));
    ++seen[w];
    start = end + 2;
  }
  int total = 0;
  for (int w = 0; w < kWriters; ++w) {
    EXPECT_EQ(seen[w], written[w].load());
    total += seen[w];
  }
  EXPECT_GT(total, 0);
}

} // namespace
