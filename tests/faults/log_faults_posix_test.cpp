// The agent in a folder it cannot write to and on a full disk. Root ignores permissions,
// so as root the folder is made read-only by a read-only bind mount and the full disk is
// a small tmpfs; without root the folder loses its write permission and the full disk
// is skipped.
#include "tests/faults/FaultFixture.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fault_test;

namespace {

/// Undoes a mount when the scope ends.
class ScopedMount {
public:
  explicit ScopedMount(std::string path) : fPath(std::move(path)) {}
  ~ScopedMount() { ::umount2(fPath.c_str(), MNT_DETACH); }
  ScopedMount(const ScopedMount&) = delete;
  ScopedMount& operator=(const ScopedMount&) = delete;

private:
  std::string fPath;
};

bool IsRoot() {
  return ::geteuid() == 0;
}

/// The agent in the folder "app" of the test's folder, which also holds the pipe, the
/// service's record and the children's output and so stays writable.
class AppFolderTest : public FaultTest {
protected:
  void SetUp() override {
    FaultTest::SetUp();
    app = dir / "app";
    std::filesystem::create_directory(app);
  }

  void PlaceAgent() {
    CopyExecutable(TestExecutableDir() + "/" + AgentName(), app + "/" + AgentName());
    WriteFileBytes(app + "/MKLOG.INI", kLogOn);
  }

  /// Runs the agent from "app" until a few reports reached the service, then quits it.
  void RunReportingAndQuit() {
    ChildProcess agent(app + "/" + AgentName(), {}, Environment(), dir.path());
    ASSERT_TRUE(WaitForRequests(3, kLongWait)) << agent.Stderr();
    ASSERT_NO_FATAL_FAILURE(QuitAndExpectCleanEnd(agent));
  }

  std::string app;
};

TEST_F(AppFolderTest, ReadOnlyFolderGetsNoLogAndKeepsTheOldOneWhole) {
  // Test tuple <log before the run>: none, and one of an earlier run.
  for (const char* before : {"", "earlier : entry\r\n"}) {
    SCOPED_TRACE(before);
    ScopedTempDir place;
    app = place / "app";
    std::filesystem::create_directory(app);
    PlaceAgent();
    const std::string log = app + "/Debugg.log";
    if (*before)
      WriteFileBytes(log, before);
    std::unique_ptr<ScopedMount> readOnly;
    if (IsRoot()) {
      ASSERT_EQ(::mount(app.c_str(), app.c_str(), nullptr, MS_BIND, nullptr), 0)
          << std::strerror(errno);
      readOnly = std::make_unique<ScopedMount>(app);
      ASSERT_EQ(::mount(nullptr, app.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr),
                0)
          << std::strerror(errno);
    } else {
      ::chmod(log.c_str(), 0444);
      ::chmod(app.c_str(), 0555);
    }
    StartService("echo");
    RunReportingAndQuit();
    EXPECT_EQ(PathExists(log), *before != '\0');
    EXPECT_EQ(ReadFileBytes(log), before);
    service.reset();
    std::filesystem::remove(dir / "requests.bin");
  }
}

TEST_F(AppFolderTest, FullDiskDropsEntriesWholeAndNeverShortensTheLog) {
  if (!IsRoot())
    GTEST_SKIP() << "a full disk needs a tmpfs of its own, and mounting one needs root";
  // Room for the agent and a little more; the rest is filled below.
  std::uintmax_t agentSize = std::filesystem::file_size(TestExecutableDir() + "/" + AgentName());
  std::string size = "size=" + std::to_string(agentSize / (1024 * 1024) + 2) + "m";
  ASSERT_EQ(::mount("tmpfs", app.c_str(), "tmpfs", 0, size.c_str()), 0) << std::strerror(errno);
  ScopedMount disk(app);
  PlaceAgent();
  // An earlier log whose last page has room for a few entries only.
  const std::string log = app + "/Debugg.log";
  std::string earlier;
  while (earlier.size() < 2 * 4096 - 300)
    earlier += "earlier : entry " + std::to_string(earlier.size()) + "\r\n";
  WriteFileBytes(log, earlier);
  // Fill every free page.
  int filler = ::open((app + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
  ASSERT_GE(filler, 0);
  const std::string page(4096, 'f');
  while (::write(filler, page.data(), page.size()) > 0) {
  }
  while (::write(filler, page.data(), 1) > 0) {
  }
  ::close(filler);

  StartService("echo");
  RunReportingAndQuit();
  std::string after = ReadFileBytes(log);
  ASSERT_GE(after.size(), earlier.size());
  EXPECT_EQ(after.substr(0, earlier.size()), earlier) << "the earlier log was changed";
  EXPECT_GT(after.size(), earlier.size()) << "no entry fitted: the test proves nothing";
  EXPECT_LT(after.size(), 2u * 4096) << "the disk was not full";
  ExpectWholeEntries(after, earlier.size());
}

} // namespace
