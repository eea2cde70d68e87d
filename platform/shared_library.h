// A shared library loaded at run time rather than bound when the process starts, so that
// the process starts on a machine that lacks it.
#pragma once

#include "platform/unique_handle.h"

#include <string>

namespace platform {

/// A loaded library's handle (a dlopen handle, an HMODULE); each system defines these.
struct LibraryTraits {
  using Type = void*;
  static Type Invalid() { return nullptr; }
  static bool IsValid(Type library);
  static void Close(Type library);
};

/// Owns a loaded library; releases it when its scope ends.
class SharedLibrary {
public:
  SharedLibrary() = default;

  /// Loads the library by its file name ("libxcb.so.1", "user32.dll"). When it cannot be
  /// loaded the result holds none and `whyNot` tells why.
  static SharedLibrary Load(const char* name, std::string& whyNot);

  bool Loaded() const { return handle_.valid(); }

  /// The address of the exported symbol, or null (also when nothing is loaded).
  void* FindSymbol(const char* name) const;

  template <typename Symbol> Symbol Find(const char* name) const {
    return reinterpret_cast<Symbol>(FindSymbol(name));
  }

  /// Fills `symbol` unless a lookup before it failed; `missing` keeps the first name
  /// not found.
  template <typename Symbol>
  void FindInto(Symbol& symbol, const char* name, const char*& missing) const {
    if (!missing && !(symbol = Find<Symbol>(name)))
      missing = name;
  }

private:
  explicit SharedLibrary(void* handle) : handle_(handle) {}

  UniqueHandle<LibraryTraits> handle_;
};

} // namespace platform
