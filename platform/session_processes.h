// Finding the processes of the caller's own session that run a given program: how a
// command run in a session tells whether an agent serves it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct SessionProcess {
  std::uint32_t id = 0;
  std::u16string executable; // full path of the program file it runs; empty if unknown
};

/// The processes other than the caller that run the program `programName` (the file name
/// without the system's executable suffix) in the caller's session, lowest id first.
///
/// On Windows a process is in the session when it has the caller's session id. On Linux,
/// where a user's programs share no such number, it is when it runs as the caller's user
/// and its environment names the same display (the Wayland socket when the caller has
/// one, else the X display; none counts as one) and the same pipe folder: the session
/// whose idle time it reads and the service it reports to.
std::vector<SessionProcess> FindSessionProcesses(const std::u16string& programName);

} // namespace platform
