// Runs a program as a child process for end-to-end tests: its output captured in files,
// the platform's ways of asking it to quit or ending its session, its boxes read.
#pragma once

#include "tests/support/files.h"
#include "tests/support/scoped_temp_dir.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

/// How a quit request reaches the child.
enum class QuitRoute {
  kThread, // Windows: WM_QUIT posted to the main thread; elsewhere SIGTERM
  kWindow, // Windows: WM_QUIT posted to the "TApplication" window; elsewhere SIGINT
};

/// An environment value that removes the variable from the child's environment.
inline const std::string kUnset = "\x01unset";

class ChildProcess {
public:
  /// Starts `program` (no arguments unless given) with `environment` added to this
  /// process's; standard output and error go to files in `outputDir`.
  ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
               const std::vector<std::pair<std::string, std::string>>& environment,
               const std::string& outputDir);
  ~ChildProcess(); // kills a child still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  /// Waits for the exit; false on time-out.
  bool WaitForExit(int timeoutMs);
  /// Valid after WaitForExit answered true.
  std::uint32_t ExitCode() const { return fExitCode; }

  std::string Stdout() const;
  std::string Stderr() const;
  /// Waits until standard output holds `text`; false on time-out or exit without it.
  bool WaitForOutput(const std::string& text, int timeoutMs);

  void RequestQuit(QuitRoute route);
  /// The end of the user's session: SIGHUP, or WM_ENDSESSION with wParam 1 sent to the
  /// child's hidden window.
  void EndSession();
  void Kill();

  /// Waits for a box with this title; on Windows reads its text and closes it with OK as
  /// a user would, elsewhere waits for the exit and reads the box from standard error.
  std::optional<std::string> TakeBox(const std::string& title, int timeoutMs);

  /// Windows only: sends a message to the child's hidden window and answers its result.
  std::optional<std::intptr_t> SendToHiddenWindow(unsigned message, std::uintptr_t wParam);

  struct WindowFacts {
    bool found = false;
    bool visible = false;
    bool toolWindow = false;
    int width = -1, height = -1;
  };
  /// Windows only: the child's "TApplication" window as the desktop sees it.
  WindowFacts HiddenWindow();

  std::uint32_t Id() const { return fId; }

private:
  /// Names this child's output files in the folder, apart from every other child's,
  /// whichever thread starts it.
  void NameOutputFiles(const std::string& outputDir);

  struct Native;
  Native* fNative;
  std::string fOutPath, fErrPath;
  std::uint32_t fExitCode = 0;
  std::uint32_t fId = 0;
};

/// Copies a file, keeping it executable.
void CopyExecutable(const std::string& from, const std::string& to);

/// The folder of the running test executable.
std::string TestExecutableDir();

/// The executable file name of a program for this platform ("x" or "x.exe").
std::string ExecutableName(const std::string& base);

/// What the agent writes on standard error when started, as most tests start it, outside
/// any desktop session: where it cannot read the idle time, it says so.
std::string AgentStderrWithoutSession();

} // namespace testing_support
