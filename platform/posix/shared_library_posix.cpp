// Libraries loaded with dlopen.
#include "platform/shared_library.h"

#include <cerrno>
#include <dlfcn.h>

namespace platform {

bool LibraryTraits::IsValid(Type library) {
  return library != nullptr;
}

void LibraryTraits::Close(Type library) {
  int saved = errno;
  dlclose(library);
  errno = saved;
}

SharedLibrary SharedLibrary::Load(const char* name, std::string& whyNot) {
  // Local: the libraries' symbols must not stand in for another library's.
  void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* error = dlerror();
    whyNot = std::string(name) + " cannot be loaded (" + (error ? error : "unknown error") + ")";
  }
  return SharedLibrary(handle);
}

void* SharedLibrary::FindSymbol(const char* name) const {
  return Loaded() ? dlsym(handle_.get(), name) : nullptr;
}

} // namespace platform
