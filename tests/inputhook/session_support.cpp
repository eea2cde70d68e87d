// Programs, X servers, sockets and buses for the idle-source tests.
#include "tests/inputhook/session_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace inputhook_test {

using testing_support::ChildProcess;
using testing_support::FindProgram;
using testing_support::kUnset;
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
