// The running executable and the modules that code addresses belong to.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

/// Full path of the running executable.
std::u16string OwnModuleFileName();

struct ModuleOfCode {
  bool found = false;
  std::u16string path; // full path of the module file
  std::uintptr_t base = 0;
};

/// The module (executable or shared library) whose image holds the address.
ModuleOfCode FindModuleOfAddress(const void* address);

} // namespace platform
