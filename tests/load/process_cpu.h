// The processor time a running child process has used, from the system's own accounting.
#pragma once

#include <cstdint>
#include <optional>

namespace load_test {

/// User plus system time of the process in microseconds; empty when it cannot be read.
std::optional<std::uint64_t> ProcessCpuMicroseconds(std::uint32_t processId);

} // namespace load_test
