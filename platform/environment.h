// Setting the process's environment variables (tests point programs at fresh folders).
#pragma once

#include <string>

namespace platform {

/// Sets the variable for this process and the children it starts; false on failure.
bool SetEnvVar(const std::string& name, const std::string& value);

} // namespace platform
