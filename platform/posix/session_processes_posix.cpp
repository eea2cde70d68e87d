// The user's processes that serve this session, found in /proc: the program each runs
// (/proc/PID/exe) and the environment it was started with (/proc/PID/environ), which
// names the display whose idle time it reads and the folder of the pipe it reports to.
#include "platform/session_processes.h"

#include "platform/posix/pipe_path_posix.h"
#include "platform/posix/scoped_fd.h"
#include "text/TextConvert.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

using Variables = std::vector<std::pair<std::string, std::string>>;

/// What decides the session a process serves.
struct SessionMark {
  std::string display; // "wayland:SOCKET", "x11:DISPLAY" or empty
  std::string pipeFolder;
  bool operator==(const SessionMark&) const = default;
};

std::string Lookup(const Variables& variables, const std::string& name) {
  for (const auto& [key, value] : variables)
    if (key == name)
      return value;
  return {};
}

/// ":0" and ":0.0" name the same display; the screen number is not part of the session.
std::string WithoutScreen(const std::string& display) {
  size_t colon = display.rfind(':');
  size_t dot = display.find('.', colon == std::string::npos ? 0 : colon);
  return colon != std::string::npos && dot != std::string::npos ? display.substr(0, dot) : display;
}

SessionMark MarkOf(const Variables& variables) {
  SessionMark mark;
  std::string wayland = Lookup(variables, "WAYLAND_DISPLAY");
  if (!wayland.empty()) {
    std::string runtimeDir = Lookup(variables, "XDG_RUNTIME_DIR");
    mark.display = "wayland:" + (wayland.front() == '/' ? wayland : runtimeDir + "/" + wayland);
  } else if (std::string x = Lookup(variables, "DISPLAY"); !x.empty()) {
    mark.display = "x11:" + WithoutScreen(x);
  }
  std::string pipeFolder = Lookup(variables, "NAMED_PIPE_DIR");
  mark.pipeFolder = pipeFolder.empty() ? "/run/pipe" : pipeFolder;
  return mark;
}

Variables OwnVariables() {
  Variables variables;
  for (const char* name : {"WAYLAND_DISPLAY", "XDG_RUNTIME_DIR", "DISPLAY"})
    if (const char* value = std::getenv(name))
      variables.emplace_back(name, value);
  variables.emplace_back("NAMED_PIPE_DIR", posix::PipeDirectory());
  return variables;
}

std::optional<std::string> ReadWhole(const std::string& path) {
  posix::ScopedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid())
    return std::nullopt;
  std::string bytes;
  char buffer[4096];
  for (;;) {
    ssize_t got = ::read(fd.get(), buffer, sizeof(buffer));
    if (got < 0)
      return std::nullopt;
    if (got == 0)
      return bytes;
    bytes.append(buffer, static_cast<size_t>(got));
  }
}

/// The environment a process was started with; nothing when it may not be read.
std::optional<Variables> VariablesOf(const std::string& procDir) {
  std::optional<std::string> bytes = ReadWhole(procDir + "/environ");
  if (!bytes)
    return std::nullopt;
  Variables variables;
  size_t start = 0;
  while (start < bytes->size()) {
    size_t end = bytes->find('\0', start);
    if (end == std::string::npos)
      end = bytes->size();
    std::string entry = bytes->substr(start, end - start);
    size_t equals = entry.find('=');
    if (equals != std::string::npos)
      variables.emplace_back(entry.substr(0, equals), entry.substr(equals + 1));
    start = end + 1;
  }
  return variables;
}

/// The program file a process runs; a file replaced since it started (an upgrade) keeps
/// its name without the kernel's " (deleted)".
std::string ExecutableOf(const std::string& procDir) {
  std::string target(4096, '\0');
  ssize_t length = ::readlink((procDir + "/exe").c_str(), target.data(), target.size());
  if (length <= 0 || static_cast<size_t>(length) >= target.size())
    return {};
  target.resize(static_cast<size_t>(length));
  static const std::string kDeleted = " (deleted)";
  if (target.size() > kDeleted.size() &&
      target.compare(target.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0)
    target.resize(target.size() - kDeleted.size());
  return target;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

} // namespace

std::vector<SessionProcess> FindSessionProcesses(const std::u16string& programName) {
  std::vector<SessionProcess> found;
  std::unique_ptr<DIR, DirCloser> proc(::opendir("/proc"));
  if (!proc)
    return found;
  const std::string program = Utf16ToUtf8(programName);
  const SessionMark ownMark = MarkOf(OwnVariables());
  const uid_t user = ::getuid();
  const pid_t self = ::getpid();
  while (dirent* entry = ::readdir(proc.get())) {
    char* end = nullptr;
    long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0' || pid == self)
      continue;
    std::string procDir = std::string("/proc/") + entry->d_name;
    struct stat status {};
    if (::stat(procDir.c_str(), &status) != 0 || status.st_uid != user)
      continue;
    std::string executable = ExecutableOf(procDir);
    size_t slash = executable.rfind('/');
    if (executable.empty() || executable.substr(slash + 1) != program)
      continue;
    std::optional<Variables> variables = VariablesOf(procDir);
    if (!variables || !(MarkOf(*variables) == ownMark))
      continue;
    found.push_back({static_cast<std::uint32_t>(pid), Utf8ToUtf16(executable)});
  }
  std::sort(found.begin(), found.end(),
            [](const SessionProcess& a, const SessionProcess& b) { return a.id < b.id; });
  return found;
}

} // namespace platform
