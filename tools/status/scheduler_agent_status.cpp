// scheduler-agent-status (SchedulerAgentStatus.exe on Windows): what the agent does in
// the session this command runs in, for administrators and their inventory scripts.
#include "framework/SysUtils.h"
#include "platform/console.h"
#include "platform/module.h"
#include "sa_version.h"
#include "text/TextConvert.h"
#include "tools/status/AgentStatus.h"

#include <exception>
#include <string>

namespace {

std::u16string ProgramName() {
  return ExtractFileName(platform::OwnModuleFileName());
}

std::u16string HelpText() {
  return u"Usage: " + ProgramName() +
         u" [--json]\n"
         u"Shows what SchedulerAgent does in this session: the idle source it takes and the\n"
         u"idle time it reads there, whether the scheduler's service answers on its pipe,\n"
         u"whether an agent runs in this session, and where its debug log goes. It sends\n"
         u"no idle report.\n"
         u"\n"
         u"  --json     the same as one JSON object\n"
         u"  --help     this text\n"
         u"  --version  the version\n"
         u"\n"
         u"Exit status:\n"
         u"  0  all well\n"
         u"  3  no idle source: the agent reports an idle time of 0 in this session\n"
         u"  4  no service: the pipe is missing or the service did not answer\n"
         u"  5  no agent runs in this session\n"
         u"  1  the command failed; 2  an unknown argument\n"
         u"Where several problems hold, the lowest of 3, 4 and 5 is the exit status.\n";
}

int Run(int argc, char** argv) {
  bool json = false;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--json") {
      json = true;
    } else if (argument == "--help" || argument == "-h" || argument == "/?") {
      return platform::WriteText(platform::OutputStream::kOutput, HelpText()) ? kStatusAllWell
                                                                              : kStatusFailed;
    } else if (argument == "--version") {
      return platform::WriteText(platform::OutputStream::kOutput,
                                 u"SchedulerAgent status " SA_VERSION_STRING u"\n")
                 ? kStatusAllWell
                 : kStatusFailed;
    } else {
      platform::WriteText(platform::OutputStream::kError,
                          ProgramName() + u": unknown argument \"" + Utf8ToUtf16(argument) +
                              u"\"; " + ProgramName() + u" --help tells the arguments\n");
      return kStatusBadArguments;
    }
  }
  TStatus status = CollectStatus();
  if (!platform::WriteText(platform::OutputStream::kOutput,
                           json ? StatusJson(status) : StatusText(status)))
    return kStatusFailed;
  return StatusExitCode(status);
}

} // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& failure) {
    platform::WriteText(platform::OutputStream::kError,
                        ProgramName() + u": " + Utf8ToUtf16(failure.what()) + u"\n");
    return kStatusFailed;
  }
}
