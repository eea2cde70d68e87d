// The idle time source for real: an Xvfb server of the test's own with xdotool giving
// input, a display that goes away, no display at all, and a libXss.so.1 without the
// idle function.
#include "common/Scheduler/Utils/InputHook.h"
#include "platform/app_window.h"
#include "platform/input_idle.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

struct ChildResult {
  int exitCode = -1;
  std::string output;
};

/// Runs a program with extra environment settings and collects its standard output.
ChildResult RunProgram(std::vector<std::string> argv,
                       std::vector<std::string> extraEnvironment = {}) {
  std::vector<std::string> environment = std::move(extraEnvironment);
  for (char** e = environ; *e; ++e)
    environment.push_back(*e);
  std::vector<char*> args, envs;
  for (auto& a : argv)
    args.push_back(a.data());
  args.push_back(nullptr);
  for (auto& e : environment)
    envs.push_back(e.data());
  envs.push_back(nullptr);
  int out[2];
  EXPECT_EQ(pipe(out), 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  pid_t pid = 0;
  ChildResult result;
  int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envs.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (spawned != 0) {
    close(out[0]);
    ADD_FAILURE() << "cannot start " << argv[0];
    return result;
  }
  char buffer[4096];
  ssize_t n;
  while ((n = read(out[0], buffer, sizeof(buffer))) > 0)
    result.output.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

/// An Xvfb server on a free display number, which the test can take away again.
class XvfbServer {
public:
  XvfbServer() {
    int fds[2];
    if (pipe(fds) != 0)
      return;
    std::string fd = std::to_string(fds[1]);
    std::vector<std::string> argv = {"Xvfb", "-displayfd", fd,  "-nolisten",
                                     "tcp",  "-screen",    "0", "640x480x24"};
    std::vector<char*> args;
    for (auto& a : argv)
      args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawnp(&pid_, "Xvfb", &actions, nullptr, args.data(), environ) != 0)
      pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    char buffer[32];
    ssize_t n = pid_ ? read(fds[0], buffer, sizeof(buffer) - 1) : 0;
    close(fds[0]);
    if (n > 0) {
      buffer[n] = 0;
      display_ = ":" + std::to_string(std::atoi(buffer));
    }
  }
  ~XvfbServer() { Stop(); }

  const std::string& Display() const { return display_; }

  /// Whether a client gets through within a few seconds.
  bool Answers() const;

  void Stop() {
    if (pid_ <= 0)
      return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

private:
  pid_t pid_ = 0;
  std::string display_;
};

void MoveMouse(const std::string& display) {
  ChildResult moved =
      RunProgram({"xdotool", "mousemove_relative", "--", "3", "3"}, {"DISPLAY=" + display});
  ASSERT_EQ(moved.exitCode, 0);
}

bool XvfbServer::Answers() const {
  for (int attempt = 0; attempt < 20 && !display_.empty(); ++attempt) {
    if (RunProgram({"xdotool", "getmouselocation"}, {"DISPLAY=" + display_}).exitCode == 0)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

/// A server that answers. A display number whose clients land elsewhere (another
/// server in a shared network namespace holds its abstract socket) is held while the
/// next one is tried, so that the next server picks a different number.
std::unique_ptr<XvfbServer> StartAnsweringXvfb() {
  std::vector<std::unique_ptr<XvfbServer>> refused;
  for (int attempt = 0; attempt < 5; ++attempt) {
    auto server = std::make_unique<XvfbServer>();
    if (server->Answers())
      return server;
    refused.push_back(std::move(server));
  }
  return nullptr;
}

struct SessionEnded {};

class ThrowingEvents : public platform::AppWindowEvents {
public:
  [[noreturn]] void SessionEnding() override { throw SessionEnded{}; }
  void SettingsChanged() override {}
  void MessageFailed(std::exception_ptr) override {}
};

TEST(InputHookX11Test, IdleGrowsUntilInputAndTheLostDisplayEndsTheSession) {
  auto started = StartAnsweringXvfb();
  ASSERT_TRUE(started) << "no Xvfb server answered";
  XvfbServer& server = *started;
  setenv("DISPLAY", server.Display().c_str(), 1);
  ASSERT_TRUE(InitInputHook());

  // Idle time grows while nothing happens. A loaded machine's X servers can see a
  // stray event now and then, so a quiet stretch gets three chances.
  std::uint32_t idle = 0;
  for (int attempt = 0; attempt < 3 && idle < 2; ++attempt) {
    MoveMouse(server.Display());
    std::this_thread::sleep_for(std::chrono::milliseconds(2300));
    idle = GetInputIdleSeconds();
  }
  EXPECT_GE(idle, 2u);
  EXPECT_LE(idle, 10u);
  EXPECT_EQ(GetInputIdleMinutes(), 0u);

  MoveMouse(server.Display());
  EXPECT_EQ(GetInputIdleSeconds(), 0u);

  // The server goes: the reading answers 0, the process lives on, and the host hears
  // of the end of the session at its next message handling.
  ThrowingEvents events;
  auto window = platform::AppWindow::Create(u"test", events);
  EXPECT_EQ(window->TakeMessage(), platform::TakenMessage::kNone);
  server.Stop();
  EXPECT_EQ(GetInputIdleSeconds(), 0u);
  EXPECT_EQ(GetInputIdleMinutes(), 0u);
  EXPECT_THROW(window->TakeMessage(), SessionEnded);
  DoneInputHook();
  unsetenv("DISPLAY");
}

TEST(InputHookX11Test, SourceReportsTheLostDisplayOnEveryLaterQuery) {
  auto started = StartAnsweringXvfb();
  ASSERT_TRUE(started) << "no Xvfb server answered";
  XvfbServer& server = *started;
  setenv("DISPLAY", server.Display().c_str(), 1);
  auto source = platform::LastInputSource::Load();
  ASSERT_TRUE(source);
  ASSERT_TRUE(source->FindLastInputFunction());
  std::uint32_t tick = 0;
  ASSERT_EQ(source->LastInputTick(tick), platform::LastInputQuery::kAnswered);
  EXPECT_LE(static_cast<std::uint32_t>(source->TickCount() - tick), 60000u);
  server.Stop();
  EXPECT_EQ(source->LastInputTick(tick), platform::LastInputQuery::kSessionGone);
  EXPECT_EQ(source->LastInputTick(tick), platform::LastInputQuery::kSessionGone);
  unsetenv("DISPLAY");
}

TEST(InputHookX11Test, NoDisplayReadsZero) {
  // Test tuple <DISPLAY setting>: unset, and a display nobody serves.
  for (const char* display : {"DISPLAY=", "DISPLAY=:59999"}) {
    SCOPED_TRACE(display);
    ChildResult probe = RunProgram({START_PROBE}, {display});
    EXPECT_EQ(probe.exitCode, 0);
    EXPECT_EQ(probe.output, "seconds 0 minutes 0\n");
  }
}

TEST(InputHookX11Test, LibraryWithoutTheIdleFunctionFailsTheStart) {
  ChildResult probe = RunProgram({START_PROBE}, {"LD_LIBRARY_PATH=" FAKE_XSS_DIR});
  EXPECT_EQ(probe.exitCode, 217);
  EXPECT_EQ(probe.output, "EAssertionFailed: Failed to find GetLastInputInfo in DLL! "
                          "(common\\Scheduler\\Utils\\InputHook, line 165)\n"
                          "started units: 0\n");
}

} // namespace
