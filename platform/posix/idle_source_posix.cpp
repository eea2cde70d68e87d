// The library handle and the clock that the last-input sources share.
#include "platform/posix/idle_source_posix.h"

#include <dlfcn.h>
#include <time.h>

namespace platform::posix {

ScopedLibrary::~ScopedLibrary() {
  if (handle_)
    dlclose(handle_);
}

bool ScopedLibrary::Open(const char* soname, std::string& whyNot) {
  handle_ = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* error = dlerror();
    whyNot = std::string(soname) + " cannot be loaded (" + (error ? error : "unknown error") + ")";
  }
  return handle_ != nullptr;
}

void* ScopedLibrary::FindSymbol(const char* name) const {
  return handle_ ? dlsym(handle_, name) : nullptr;
}

std::uint32_t BootTimeTick() {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  auto milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                      static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(milliseconds);
}

} // namespace platform::posix
