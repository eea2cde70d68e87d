// Runs one command inside a headless compositor's session and ends the compositor after
// it: the benchmarks measure the idle sources this way.
//   compositor_session sway|kwin|mutter COMMAND [ARGUMENT...]
// The exit code is the command's; 77 when the compositor cannot be started.
#include "tests/idle_sources/compositor.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>

using namespace idle_sources;

namespace {
constexpr int kNotStarted = 77;
} // namespace

int main(int argc, char** argv) {
  CompositorKind kind;
  if (argc < 3 || !CompositorByName(argv[1], kind)) {
    std::fprintf(stderr, "usage: compositor_session sway|kwin|mutter COMMAND [ARGUMENT...]\n");
    return 2;
  }
  Compositor::Started started = Compositor::Start(kind);
  if (!started.compositor) {
    std::fprintf(stderr, "%s\n", started.whyNot.c_str());
    return kNotStarted;
  }
  for (const auto& [name, value] : started.compositor->SessionEnvironment()) {
    if (value == testing_support::kUnset)
      unsetenv(name.c_str());
    else
      setenv(name.c_str(), value.c_str(), 1);
  }
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[2], nullptr, nullptr, argv + 2, environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", argv[2]);
    return 2;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
