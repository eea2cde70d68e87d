// Programs, X servers, sockets and buses for the idle-source tests.
#include "tests/inputhook/session_support.h"

#include "tests/support/x_display_posix.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace inputhook_test {

using testing_support::ChildProcess;
using testing_support::kUnset;
using testing_support::ReadFileBytes;
using testing_support::ScopedTempDir;

Environment SessionEnvironment(Environment settings) {
  Environment environment = {
      {"DISPLAY", kUnset},         {"WAYLAND_DISPLAY", kUnset},
      {"WAYLAND_SOCKET", kUnset},  {"XDG_SESSION_TYPE", kUnset},
      {"XDG_RUNTIME_DIR", kUnset}, {"DBUS_SESSION_BUS_ADDRESS", kUnset},
      {"LD_LIBRARY_PATH", kUnset},
  };
  for (auto& setting : settings) {
    bool replaced = false;
    for (auto& entry : environment)
      if (entry.first == setting.first) {
        entry.second = setting.second;
        replaced = true;
      }
    if (!replaced)
      environment.push_back(setting);
  }
  return environment;
}

std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos)
    return name;
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= folders.size()) {
    size_t end = folders.find(':', start);
    if (end == std::string::npos)
      end = folders.size();
    std::string candidate = folders.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0)
      return candidate;
    start = end + 1;
  }
  return std::string();
}

Finished RunToEnd(const std::string& program, const std::vector<std::string>& arguments,
                  const Environment& environment) {
  Finished finished;
  std::string found = FindProgram(program);
  if (found.empty()) {
    ADD_FAILURE() << program << " is not installed";
    return finished;
  }
  ScopedTempDir outputs;
  ChildProcess child(found, arguments, environment, outputs.path());
  if (!child.WaitForExit(60000)) {
    ADD_FAILURE() << program << " did not end within a minute";
    return finished;
  }
  finished.exitCode = static_cast<int>(child.ExitCode());
  finished.out = child.Stdout();
  finished.err = child.Stderr();
  return finished;
}

XvfbServer::XvfbServer() {
  int fds[2];
  if (pipe(fds) != 0)
    return;
  std::vector<std::string> argv = {"Xvfb",      "-displayfd", std::to_string(fds[1]),
                                   "-nolisten", "tcp",        "-screen",
                                   "0",         "640x480x24"};
  std::vector<char*> args;
  for (auto& a : argv)
    args.push_back(a.data());
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  if (posix_spawnp(&pid, "Xvfb", &actions, nullptr, args.data(), environ) == 0)
    pid_ = pid;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (pid_)
    display_ = testing_support::ReadAnnouncedDisplay(fds[0]);
  close(fds[0]);
}

bool XvfbServer::Answers() const {
  // A deadline, not a count of tries: on a loaded machine a server and each xdotool take
  // their time to start.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!display_.empty()) {
    if (RunToEnd("xdotool", {"getmouselocation"}, {{"DISPLAY", display_}}).exitCode == 0)
      return true;
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

void XvfbServer::MoveMouse() const {
  Finished moved =
      RunToEnd("xdotool", {"mousemove_relative", "--", "3", "3"}, {{"DISPLAY", display_}});
  ASSERT_EQ(moved.exitCode, 0) << moved.err;
}

void XvfbServer::Stop() {
  if (pid_ <= 0)
    return;
  kill(pid_, SIGTERM);
  waitpid(pid_, nullptr, 0);
  pid_ = 0;
}

std::unique_ptr<XvfbServer> StartAnsweringXvfb() {
  // A display number whose clients land elsewhere (another server in a shared network
  // namespace holds its abstract socket) is held while the next one is tried, so that the
  // next server picks a different number.
  std::vector<std::unique_ptr<XvfbServer>> refused;
  for (int attempt = 0; attempt < 5; ++attempt) {
    auto server = std::make_unique<XvfbServer>();
    if (server->Answers())
      return server;
    refused.push_back(std::move(server));
  }
  return nullptr;
}

NotACompositor::NotACompositor(const std::string& path, Manner manner) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      listen(fd_, 16) != 0) {
    ADD_FAILURE() << "cannot listen at " << path << ": " << std::strerror(errno);
    return;
  }
  if (manner == Manner::kHangsUp)
    acceptor_ = std::thread([this] {
      while (!stop_) {
        pollfd waiting{fd_, POLLIN, 0};
        if (poll(&waiting, 1, 50) > 0) {
          int client = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
          if (client >= 0)
            close(client);
        }
      }
    });
}

NotACompositor::~NotACompositor() {
  stop_ = true;
  if (acceptor_.joinable())
    acceptor_.join();
  if (fd_ >= 0)
    close(fd_);
}

SessionBus::SessionBus(const std::string& dir) {
  std::string program = FindProgram("dbus-daemon");
  if (program.empty())
    return;
  std::string address = "unix:path=" + dir + "/bus";
  daemon_ = std::make_unique<ChildProcess>(
      program,
      std::vector<std::string>{"--session", "--nofork", "--nopidfile", "--print-address=1",
                               "--address=" + address},
      Environment{}, dir);
  if (daemon_->WaitForOutput("unix:", 10000))
    address_ = address;
}

} // namespace inputhook_test
