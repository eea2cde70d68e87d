// The display number an X server started with "-displayfd" announces.
#pragma once

#include <string>

namespace testing_support {

/// Reads the server's announcement from `fd` up to its newline and returns ":N"; empty
/// when the server ended first. The whole line must be read before `fd` is closed: the
/// server writes the number and the newline apart and gives up when the second write
/// finds the pipe closed.
std::string ReadAnnouncedDisplay(int fd);

} // namespace testing_support
