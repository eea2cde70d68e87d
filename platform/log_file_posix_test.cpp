// The shared log on Linux: a write cut short by the system leaves no torn line, the lock
// of another open counts as a held log, and a FIFO of the log's name never stalls.
#include "platform/log_file.h"

#include "tests/support/files.h"
#include "tests/support/scoped_temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using platform::SharedLogFile;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

/// A file size limit for the process while the scope lasts: writes past it stop short
/// and then fail with EFBIG, as on a disk that fills up in the middle of a line.
class ScopedFileSizeLimit {
public:
  explicit ScopedFileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    set_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~ScopedFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, savedHandler_);
  }
  bool set() const { return set_; }

private:
  rlimit saved_{};
  void (*savedHandler_)(int) = SIG_DFL;
  bool set_ = false;
};

TEST(SharedLogFilePosixTest, WriteCutShortLeavesTheFileAsItWas) {
  testing_support::ScopedTempDir dir;
  const fs::path file = dir.folder() / "Debugg.log";
  WriteFileBytes(file, "earlier entry\r\n");
  auto log = SharedLogFile::OpenForAppend(file.u16string());
  ASSERT_TRUE(log);
  {
    ScopedFileSizeLimit limit(64);
    ASSERT_TRUE(limit.set());
    // The first 49 bytes fit under the limit, the rest does not.
    EXPECT_FALSE(log->Write(std::string(200, 'x') + "\r\n"));
    EXPECT_EQ(ReadFileBytes(file), "earlier entry\r\n");
    EXPECT_TRUE(log->Write("short\r\n"));
  }
  EXPECT_TRUE(log->Close());
  EXPECT_EQ(ReadFileBytes(file), "earlier entry\r\nshort\r\n");
}

TEST(SharedLogFilePosixTest, LockOfAnotherOpenCountsAsAHeldLog) {
  testing_support::ScopedTempDir dir;
  const fs::path file = dir.folder() / "Debugg.log";
  WriteFileBytes(file, "x");
  // Another writer's lock, taken the way another agent's open takes it.
  int other = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_FALSE(SharedLogFile::OpenForAppend(file.u16string()));
  ::close(other);
  EXPECT_TRUE(SharedLogFile::OpenForAppend(file.u16string()));
}

TEST(SharedLogFilePosixTest, FifoOfTheLogsNameFailsWithoutWaiting) {
  testing_support::ScopedTempDir dir;
  const fs::path fifo = dir.folder() / "Debugg.log";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // Without a reader a blocking open would never return.
  EXPECT_FALSE(SharedLogFile::OpenForAppend(fifo.u16string()));
  EXPECT_FALSE(SharedLogFile::CreateNew(fifo.u16string()));
}

} // namespace
