// A demonstration program on the application host: three units that record their start
// and end work on standard output, and a loop of message handling and pauses. The
// variable HOST_DEMO_FAIL makes it fail: "start:Beta" in that unit's start, "loop" in
// the second cycle.
#include "framework/Application.h"
#include "framework/Exception.h"
#include "framework/Host.h"
#include "platform/process.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

SA_DECLARE_EXCEPTION(EDemoFailure, Exception);

std::string FailMode() {
  const char* mode = std::getenv("HOST_DEMO_FAIL");
  return mode ? mode : "";
}

void Say(const char* text) {
  std::printf("%s\n", text);
  std::fflush(stdout);
}

void StartAlpha() {
  Say("start Alpha");
}
void EndAlpha() {
  Say("end Alpha");
}
void StartBeta() {
  Say("start Beta");
  if (FailMode() == "start:Beta")
    throw EDemoFailure(u"Beta cannot start");
}
void EndBeta() {
  Say("end Beta");
}
void StartGamma() {
  Say("start Gamma");
}
void EndGamma() {
  Say("end Gamma");
}

constexpr Unit kUnits[] = {
    {"Alpha", StartAlpha, EndAlpha},
    {"Beta", StartBeta, EndBeta},
    {"Gamma", StartGamma, EndGamma},
};

void MainBlock() {
  Say("main");
  Application()->Initialize();
  int cycle = 0;
  while (!Application()->Terminated()) {
    Application()->ProcessMessages();
    ++cycle;
    std::printf("cycle %d\n", cycle);
    std::fflush(stdout);
    if (FailMode() == "loop" && cycle == 2)
      throw EDemoFailure(u"Demo failure in cycle 2");
    platform::Sleep(200);
    std::printf("cycle %d done\n", cycle);
    std::fflush(stdout);
  }
  Say("finish");
}

} // namespace

int main() {
  RunProgram(kUnits, MainBlock);
}
