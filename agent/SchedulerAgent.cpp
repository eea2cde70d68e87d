// The agent's entry: its units in start order, and the main block that reports the
// user's idle time about twice a second until a quit or the end of the session.
#include "common/GNUgettext/TranslationStartup.h"
#include "common/Scheduler/Utils/InputHook.h"
#include "debug/Debugg.h"
#include "debug/TxtDebugg.h"
#include "framework/Application.h"
#include "framework/Host.h"
#include "pipes/CommonIdlePipeU.h"
#include "platform/process.h"

#include <memory>

namespace {

void StartInputHook() {
  InitInputHook();
}

// Start order; the units end in reverse, translation first.
constexpr Unit kUnits[] = {
    {"InputHook", StartInputHook, DoneInputHook},
    {"Debugg", InitDebugg, DoneDebugg},
    {"TxtDebugg", InitTxtDebugg, DoneTxtDebugg},
    {"gnugettext", InitGnuGettext, DoneGnuGettext},
};

void MainBlock() {
  DebugTrace(u"SchedulerAgent: Start");
  Application()->Initialize();
  DebugTrace(u"SchedulerAgent: Create CommonIdleClient");
  // Lives until the process ends: the process end never returns here.
  auto client = std::make_unique<TCommonIdleClient>();
  DebugTrace(u"SchedulerAgent: Loop");
  // The flag is read only before a cycle: a cycle that has begun runs to its end.
  while (!Application()->Terminated()) {
    Application()->ProcessMessages();
    DebugTrace(u"SchedulerAgent: SendIdleTime");
    client->SendIdleTime();
    platform::Sleep(500);
  }
  DebugTrace(u"SchedulerAgent: Finish");
}

} // namespace

int main() {
  RunProgram(kUnits, MainBlock);
}
