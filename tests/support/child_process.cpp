// What the child-process helpers do alike on every system: their output and waiting for it.
#include "tests/support/child_process.h"

#include <chrono>
#include <thread>

namespace testing_support {

std::string ChildProcess::Stdout() const {
  return ReadFileBytes(fOutPath);
}
std::string ChildProcess::Stderr() const {
  return ReadFileBytes(fErrPath);
}

bool ChildProcess::WaitForOutput(const std::string& text, int timeoutMs) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (Stdout().find(text) != std::string::npos)
      return true;
    if (WaitForExit(0))
      return Stdout().find(text) != std::string::npos;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

} // namespace testing_support
