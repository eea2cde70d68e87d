// Executable path from /proc and modules of code addresses from the dynamic linker.
#include "platform/module.h"

#include "text/TextConvert.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace platform {

std::u16string OwnModuleFileName() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (length <= 0)
    return {};
  return Utf8ToUtf16(std::string_view(buffer, static_cast<size_t>(length)));
}

ModuleOfCode FindModuleOfAddress(const void* address) {
  ModuleOfCode result;
  Dl_info info{};
  if (address == nullptr || dladdr(address, &info) == 0 || info.dli_fname == nullptr)
    return result;
  result.found = true;
  result.base = reinterpret_cast<std::uintptr_t>(info.dli_fbase);
  // The main program's entry carries the name it was started by, perhaps relative.
  std::string name = info.dli_fname;
  if (name.empty() || name[0] != '/')
    result.path = OwnModuleFileName();
  else
    result.path = Utf8ToUtf16(name);
  return result;
}

} // namespace platform
