// The agent under test in a fresh folder of its own, with the test service beside it.
#pragma once

#include "tests/support/child_process.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace agent_test {

using namespace testing_support;

constexpr size_t kRecordSize = 8224;
constexpr int kLongWait = 30000;

inline std::string AgentName() {
  return ExecutableName("SchedulerAgent");
}

inline std::uint32_t Word(const std::string& record, size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = (value << 8) | static_cast<unsigned char>(record[offset + static_cast<size_t>(i)]);
  return value;
}

// The trace texts of a log, one per entry line, time stamps cut off.
inline std::vector<std::string> TraceTexts(const std::string& log) {
  std::vector<std::string> texts;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find("\r\n", start);
    if (end == std::string::npos)
      end = log.size();
    std::string line = log.substr(start, end - start);
    size_t separator = line.find(" : ");
    if (separator != std::string::npos)
      texts.push_back(line.substr(separator + 3));
    start = end + 2;
  }
  return texts;
}

/// The agent's environment in these tests: its pipe folder, no display and no other
/// session the idle time could come from (the readings are 0, so a service's status line
/// stays put however long the run), no language chosen.
inline std::vector<std::pair<std::string, std::string>>
AgentEnvironment(const std::string& pipeDir) {
  return {{"NAMED_PIPE_DIR", pipeDir},
          {"DISPLAY", kUnset},
          {"WAYLAND_DISPLAY", kUnset},
          {"XDG_SESSION_TYPE", kUnset},
          {"XDG_RUNTIME_DIR", kUnset},
          {"DBUS_SESSION_BUS_ADDRESS", kUnset},
          {"LANG", kUnset},
          {"LC_ALL", kUnset},
          {"LD_LIBRARY_PATH", kUnset}};
}

class AgentTest : public ::testing::Test {
protected:
  void SetUp() override {
    CopyExecutable(TestExecutableDir() + "/" + AgentName(), dir / AgentName());
    pipeDir = dir / "pipe";
    std::filesystem::create_directory(pipeDir);
    // The agent's own pipe: on Windows these tests hold a lock on it in CTest.
    pipeName = "VSetCommonIdle";
  }

  void WriteIni(const std::string& text) { WriteFileBytes(dir / "MKLOG.INI", text); }

  std::vector<std::pair<std::string, std::string>> Environment() const {
    return AgentEnvironment(pipeDir);
  }

  void StartService(const std::string& mode) {
    service = std::make_unique<ChildProcess>(
        TestExecutableDir() + "/" + ExecutableName("pipe_test_server"),
        std::vector<std::string>{"--name", pipeName, "--record", dir / "requests.bin", "--mode",
                                 mode},
        Environment(), dir.path());
    ASSERT_TRUE(service->WaitForOutput("ready", kLongWait)) << service->Stderr();
  }

  std::unique_ptr<ChildProcess>
  StartAgent(std::vector<std::pair<std::string, std::string>> extra = {}) {
    auto environment = Environment();
    environment.insert(environment.end(), extra.begin(), extra.end());
    return std::make_unique<ChildProcess>(dir / AgentName(), std::vector<std::string>{},
                                          environment, dir.path());
  }

  std::string Requests() const { return ReadFileBytes(dir / "requests.bin"); }
  size_t RequestCount() const { return Requests().size() / kRecordSize; }

  /// Waits until the service has received more than `count` reports.
  bool WaitForRequests(size_t count, int timeoutMs) const {
    return WaitUntil([&] { return RequestCount() > count; }, timeoutMs);
  }

  std::string Log() const { return ReadFileBytes(dir / "Debugg.log"); }

  /// Waits until the log holds `text` as an entry more than `count` times.
  bool WaitForTrace(const std::string& text, size_t count, int timeoutMs) const {
    return WaitUntil(
        [&] {
          std::vector<std::string> texts = TraceTexts(Log());
          return static_cast<size_t>(std::count(texts.begin(), texts.end(), text)) > count;
        },
        timeoutMs, 10);
  }

  ScopedTempDir dir;
  std::string pipeDir, pipeName;
  std::unique_ptr<ChildProcess> service;
};

} // namespace agent_test
