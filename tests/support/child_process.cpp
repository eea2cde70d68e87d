// What the child-process helpers do alike on every system: their output and waiting for it.
#include "tests/support/child_process.h"

#include "tests/support/wait_until.h"

namespace testing_support {

void ChildProcess::NameOutputFiles(const std::string& outputDir) {
  static std::atomic<unsigned> serial{0};
  const std::string stem = outputDir +
                           static_cast<char>(std::filesystem::path::preferred_separator) + "child" +
                           std::to_string(++serial);
  fOutPath = stem + ".out";
  fErrPath = stem + ".err";
}

std::string ChildProcess::Stdout() const {
  return ReadFileBytes(fOutPath);
}
std::string ChildProcess::Stderr() const {
  return ReadFileBytes(fErrPath);
}

bool ChildProcess::WaitForOutput(const std::string& text, int timeoutMs) {
  bool exited = false;
  // An exited child writes no more: its output is final.
  WaitUntil(
      [&] {
        exited = WaitForExit(0);
        return exited || Stdout().find(text) != std::string::npos;
      },
      timeoutMs, 10);
  return Stdout().find(text) != std::string::npos;
}

} // namespace testing_support
