// What the child-process helpers do alike on every system: files and waiting for output.
#include "tests/support/child_process.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
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

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

bool PathExists(const std::string& path) {
  return std::filesystem::exists(path);
}

} // namespace testing_support
