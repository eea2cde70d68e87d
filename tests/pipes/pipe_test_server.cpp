// pipe_test_server: a pipe service that records requests and answers as a test says.
//
//   pipe_test_server [--name NAME] [--record FILE] [--mode MODE] [--max-requests N]
//
//   --name NAME        short pipe name (default VSetCommonIdle); on Linux the socket is
//                      $NAMED_PIPE_DIR/NAME (default directory /run/pipe)
//   --record FILE      append every non-empty request to FILE byte for byte; the file is
//                      closed after each request, so it can be read while the server runs
//   --mode MODE        echo (default)  reply with the request unchanged
//                      reply:N         reply with N bytes (N may exceed 8224), byte i = i % 251 + 1
//                      close           read the request, close without a reply
//                      close-after-probe  stop listening at the first empty (probe)
//                                      connection; requests are read and not answered
//                      delay:MS        wait MS milliseconds, then echo
//                      query:S,M       answer every request with an 8224-byte record, Msg
//                                      echoed; for Msg 2 Data 0-3 = S and 4-7 = M
//                      garbage:SEED    reply with random bytes, 0 to 8224 of them, drawn
//                                      from SEED
//   --max-requests N   exit 0 after N non-empty requests
//
// Prints "ready" on standard output once it listens, and on standard error each reply it
// could not send. Stops cleanly on SIGINT/SIGTERM (Ctrl-C on Windows). Exit code 0, 1
// when the pipe cannot be served, 2 on bad arguments.
#include "platform/stop_request.h"
#include "tests/pipes/TestService.h"

#include <iostream>
#include <stdexcept>
#include <vector>

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  testservice::Options options;
  try {
    options = testservice::ParseOptions(arguments);
  } catch (const std::invalid_argument& error) {
    std::cerr << "pipe_test_server: " << error.what() << "\n";
    return 2;
  }
  platform::InstallStopRequestHandler();
  return testservice::Run(options, platform::StopRequested,
                          [] { std::cout << "ready" << std::endl; });
}
