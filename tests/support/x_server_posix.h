// Programs on PATH and X servers of a test's own, for the tests that run real sessions.
#pragma once

#include "tests/support/child_process.h"

#include <memory>
#include <string>
#include <vector>

namespace testing_support {

/// The full path of a program found on PATH; empty when there is none.
std::string FindProgram(const std::string& name);

/// An Xvfb server on a free display number that no one gives input but the test.
class TestXServer {
public:
  /// A server that clients of its display number really reach; null when Xvfb or xdotool
  /// is missing or no server would answer.
  static std::unique_ptr<TestXServer> Start();
  ~TestXServer() { Stop(); }
  TestXServer(const TestXServer&) = delete;
  TestXServer& operator=(const TestXServer&) = delete;

  const std::string& Display() const { return display_; }
  /// Runs xdotool on this display; its standard output, "done" when it printed nothing,
  /// empty when it failed.
  std::string Xdotool(const std::vector<std::string>& arguments) const;
  /// A small pointer motion, as a user's; false when it could not be given.
  bool MoveMouse() const;
  /// Ends the server, as the end of a session takes the display away.
  void Stop();

private:
  TestXServer();
  /// Whether this server, not another one holding the same display number, answers.
  bool AnswersAsItself() const;

  ScopedTempDir outputs_;
  std::unique_ptr<ChildProcess> server_;
  std::string display_;
};

} // namespace testing_support
