#include "tests/support/x_server_posix.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace testing_support {

namespace {

// A screen size no other server here uses: a client that reaches this size reached this
// server, not another one whose abstract socket holds the same display number in a shared
// network namespace.
constexpr const char* kScreen = "643x487x24";
constexpr const char* kGeometry = "643 487\n";
constexpr int kClientTimeoutMs = 30000;

/// Reads the display number the server announces on `fd` up to its newline, as ":N";
/// empty when the server ended first. The server writes the number and the newline
/// apart, and gives up when the second write finds the pipe closed.
std::string ReadAnnouncedDisplay(int fd) {
  std::string line;
  char c = 0;
  for (;;) {
    ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return std::string();
    if (c == '\n')
      break;
    line.push_back(c);
  }
  if (line.empty() || line.find_first_not_of("0123456789") != std::string::npos)
    return std::string();
  // Formatted, not joined from std::string parts: GCC 12 at -O3 warns falsely of
  // overlapping copies in those.
  char name[16];
  std::snprintf(name, sizeof(name), ":%d", std::atoi(line.c_str()));
  return name;
}

} // namespace

std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos)
    return name;
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "/usr/bin:/bin");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    std::string candidate = folder + "/" + name;
    if (!folder.empty() && access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return std::string();
}

TestXServer::TestXServer() {
  std::string xvfb = FindProgram("Xvfb");
  int fds[2];
  if (xvfb.empty() || pipe(fds) != 0)
    return;
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  // The write end is inherited by Xvfb, which writes its display number there. A
  // session's server outlives each of its clients: without -noreset, Xvfb would start
  // afresh, its idle time with it, whenever its last client left.
  server_ = std::make_unique<ChildProcess>(
      xvfb,
      std::vector<std::string>{"-displayfd", std::to_string(fds[1]), "-nolisten", "tcp", "-noreset",
                               "-screen", "0", kScreen},
      std::vector<std::pair<std::string, std::string>>{}, outputs_.path());
  close(fds[1]);
  display_ = ReadAnnouncedDisplay(fds[0]);
  close(fds[0]);
}

std::unique_ptr<TestXServer> TestXServer::Start() {
  if (FindProgram("Xvfb").empty() || FindProgram("xdotool").empty())
    return nullptr;
  // A server whose display number leads elsewhere is held while the next one starts, so
  // that the next takes another number.
  std::vector<std::unique_ptr<TestXServer>> elsewhere;
  for (int attempt = 0; attempt < 5; ++attempt) {
    std::unique_ptr<TestXServer> server(new TestXServer());
    if (server->AnswersAsItself())
      return server;
    elsewhere.push_back(std::move(server));
  }
  return nullptr;
}

bool TestXServer::AnswersAsItself() const {
  if (display_.empty())
    return false;
  // The server is listening once it has announced its number; the deadline is for a
  // loaded machine, where each xdotool takes its time to start.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    std::string geometry = Xdotool({"getdisplaygeometry"});
    if (!geometry.empty())
      return geometry == kGeometry;
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

std::string TestXServer::Xdotool(const std::vector<std::string>& arguments) const {
  ChildProcess xdotool(FindProgram("xdotool"), arguments, {{"DISPLAY", display_}}, outputs_.path());
  if (!xdotool.WaitForExit(kClientTimeoutMs) || xdotool.ExitCode() != 0)
    return std::string();
  std::string out = xdotool.Stdout();
  return out.empty() ? "done" : out;
}

bool TestXServer::MoveMouse() const {
  return !Xdotool({"mousemove_relative", "--", "3", "3"}).empty();
}

void TestXServer::Stop() {
  if (!server_)
    return;
  // Ended as asked, it removes its lock file and socket for the next server.
  server_->RequestQuit(QuitRoute::kThread);
  server_->WaitForExit(kClientTimeoutMs);
  server_.reset();
}

} // namespace testing_support
