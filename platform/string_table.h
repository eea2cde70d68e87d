// The executable's string table: texts by numeric identifier.
#pragma once

#include <vector>

namespace platform {

using ResourceModule = void*;

/// The executable's own module, the first and in this program the only resource module.
ResourceModule MainResourceModule();

/// The process's resource modules in the order the runtime searches them.
std::vector<ResourceModule> ResourceModules();

/// LoadStringW's contract: copies at most bufferMax - 1 characters of text `id` and a
/// terminating zero, answers the number copied; 0 when there is no such text. With
/// bufferMax 0, stores a pointer to the read-only text in *buffer and answers its length.
int LoadStringW(ResourceModule module, unsigned id, char16_t* buffer, int bufferMax);

} // namespace platform
