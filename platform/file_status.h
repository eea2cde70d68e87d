// Questions about files by name.
#pragma once

#include <string>

namespace platform {

/// Whether a file of that name exists; a folder does not count.
bool FileExists(const std::u16string& path);

} // namespace platform
