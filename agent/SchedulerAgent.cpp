// The agent's entry: its units in start order, and the main block that reports the
// user's idle time about twice a second until a quit or the end of the session.
#include "common/GNUgettext/TranslationStartup.h"
#include "common/Scheduler/Utils/InputHook.h"
#include "debug/Debugg.h"
#include "debug/TxtDebugg.h"
#include "framework/Application.h"
#include "framework/Host.h"
#include "pipes/CommonIdlePipeU.h"
#include "platform/console.h"
#include "platform/process.h"
#include "sa_version.h"

#include <cstring>
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

const char16_t kHelp[] =
    u"Usage: SchedulerAgent\n"
    u"Reports the idle time of this session's user to the scheduler service over the pipe\n"
    u"\\\\.\\pipe\\VSetCommonIdle about twice a second, until the session ends. It takes no\n"
    u"arguments; \"MKLOG.INI\" beside it switches its debug log on. The status command\n"
    u"installed beside it tells what it does in a session.\n"
    u"\n"
    u"  --help     this text, without starting\n"
    u"  --version  the version, without starting\n";

const char16_t kVersion[] = u"SchedulerAgent " SA_VERSION_STRING u"\n";

/// The one argument the agent answers instead of starting: --help or --version.
const char16_t* AnswerFor(int argc, char** argv) {
  if (argc < 2)
    return nullptr;
  if (std::strcmp(argv[1], "--version") == 0)
    return kVersion;
  for (const char* help : {"--help", "-h", "/?"})
    if (std::strcmp(argv[1], help) == 0)
      return kHelp;
  return nullptr;
}

} // namespace

int main(int argc, char** argv) {
  // Any other command line is ignored, as it always was.
  if (const char16_t* answer = AnswerFor(argc, argv)) {
    if (platform::UseStartingConsole())
      platform::WriteText(platform::OutputStream::kOutput, answer);
    return 0;
  }
  RunProgram(kUnits, MainBlock);
}
