// idle_service: the reference idle service beside the agent.
//
//   idle_service [--name NAME]
//
// Serves the pipe \\.\pipe\NAME (default VSetCommonIdle; on Linux the socket
// $NAMED_PIPE_DIR/NAME, default directory /run/pipe, made when missing). Keeps the
// latest idle report of each session, drops reports older than 5 seconds, answers idle
// queries with the smallest idle time among the live sessions, and prints one line per
// change. Stops on Ctrl-C, SIGINT or SIGTERM, and then prints how many reports it
// served from each session. Exit code 0, 1 when the pipe cannot be
// served, 2 on bad arguments.
#include "platform/stop_request.h"
#include "text/TextConvert.h"
#include "tools/idle_service/IdleService.h"

#include <iostream>
#include <string>

int main(int argc, char** argv) {
  std::u16string name = u"VSetCommonIdle";
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    std::string value = i + 1 < argc ? argv[i + 1] : "";
    if (argument == "--name" && !value.empty() && value.find_first_of("\\/") == std::string::npos) {
      name = Utf8ToUtf16(value);
      ++i;
    } else {
      std::cerr << "usage: idle_service [--name NAME]\n";
      return 2;
    }
  }
  platform::InstallStopRequestHandler();
  return idleservice::Run(name, std::cout, platform::StopRequested, [] {});
}
