// Child processes through posix_spawn; signals stand in for the desktop's messages.
#include "tests/support/child_process.h"

#include "tests/support/wait_until.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testing_support {

namespace fs = std::filesystem;

struct ChildProcess::Native {
  pid_t pid = -1;
  bool exited = false;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::pair<std::string, std::string>>& environment,
                           const std::string& outputDir)
    : fNative(new Native) {
  NameOutputFiles(outputDir);

  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    bool replaced = false;
    for (const auto& [name, value] : environment)
      if (entry.compare(0, name.size() + 1, name + "=") == 0)
        replaced = true;
    if (!replaced)
      envStrings.push_back(entry);
  }
  for (const auto& [name, value] : environment)
    if (value != kUnset)
      envStrings.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& s : envStrings)
    envp.push_back(s.data());
  envp.push_back(nullptr);

  std::vector<std::string> argStrings{program};
  argStrings.insert(argStrings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& s : argStrings)
    argv.push_back(s.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, fOutPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, fErrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  // The child starts with default signal handling, whatever this process had.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attributes, &all);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  int rc =
      posix_spawn(&fNative->pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (rc != 0) {
    delete fNative;
    throw std::runtime_error("cannot start " + program);
  }
  fId = static_cast<std::uint32_t>(fNative->pid);
}

ChildProcess::~ChildProcess() {
  if (!fNative->exited) {
    kill(fNative->pid, SIGKILL);
    waitpid(fNative->pid, nullptr, 0);
  }
  delete fNative;
}

bool ChildProcess::WaitForExit(int timeoutMs) {
  if (fNative->exited)
    return true;
  return WaitUntil(
      [&] {
        int status = 0;
        if (waitpid(fNative->pid, &status, WNOHANG) != fNative->pid)
          return false;
        fNative->exited = true;
        fExitCode = WIFEXITED(status) ? static_cast<std::uint32_t>(WEXITSTATUS(status))
                                      : 128u + static_cast<std::uint32_t>(WTERMSIG(status));
        return true;
      },
      timeoutMs);
}

void ChildProcess::RequestQuit(QuitRoute route) {
  kill(fNative->pid, route == QuitRoute::kThread ? SIGTERM : SIGINT);
}

void ChildProcess::EndSession() {
  kill(fNative->pid, SIGHUP);
}

void ChildProcess::Kill() {
  if (!fNative->exited)
    kill(fNative->pid, SIGKILL);
}

std::optional<std::string> ChildProcess::TakeBox(const std::string& title, int timeoutMs) {
  // Boxes do not wait here: they are on standard error once the child has ended.
  if (!WaitForExit(timeoutMs))
    return std::nullopt;
  std::string err = Stderr();
  size_t at = err.find(title + "\n");
  if (at == std::string::npos)
    return std::nullopt;
  std::string text = err.substr(at + title.size() + 1);
  if (!text.empty() && text.back() == '\n')
    text.pop_back();
  return text;
}

std::optional<std::intptr_t> ChildProcess::SendToHiddenWindow(unsigned, std::uintptr_t) {
  return std::nullopt;
}

ChildProcess::WindowFacts ChildProcess::HiddenWindow() {
  return {};
}

void CopyExecutable(const std::string& from, const std::string& to) {
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
  fs::permissions(to, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
}

std::string TestExecutableDir() {
  return fs::canonical("/proc/self/exe").parent_path().string();
}

std::string ExecutableName(const std::string& base) {
  return base;
}

std::string AgentStderrWithoutSession() {
  return "SchedulerAgent: idle time unknown, reported as 0: no X display (DISPLAY is not set); "
         "no session bus (DBUS_SESSION_BUS_ADDRESS is not set and there is no "
         "$XDG_RUNTIME_DIR/bus)\n";
}

} // namespace testing_support
