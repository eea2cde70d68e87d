// The last input time from user32.dll's GetLastInputInfo, looked up at run time.
#include "platform/input_idle.h"

#include "platform/win32/win_support.h"

namespace platform {
namespace {

using GetLastInputInfoFunction = BOOL(WINAPI*)(PLASTINPUTINFO);

/// Owns a loaded library; frees it when the scope ends.
class ScopedLibrary {
public:
  explicit ScopedLibrary(HMODULE module) : module_(module) {}
  ScopedLibrary(const ScopedLibrary&) = delete;
  ScopedLibrary& operator=(const ScopedLibrary&) = delete;
  ~ScopedLibrary() {
    if (module_)
      FreeLibrary(module_);
  }
  HMODULE get() const { return module_; }

private:
  HMODULE module_;
};

class User32LastInput : public LastInputSource {
public:
  explicit User32LastInput(HMODULE module) : library_(module) {}

  bool FindLastInputFunction() override {
    getLastInputInfo_ = reinterpret_cast<GetLastInputInfoFunction>(
        reinterpret_cast<void*>(GetProcAddress(library_.get(), "GetLastInputInfo")));
    return getLastInputInfo_ != nullptr;
  }

  const char* Name() const override { return "GetLastInputInfo"; }

  LastInputQuery LastInputTick(std::uint32_t& tick) override {
    LASTINPUTINFO info{};
    info.cbSize = sizeof(info);
    if (!getLastInputInfo_ || !getLastInputInfo_(&info))
      return LastInputQuery::kFailed;
    tick = info.dwTime;
    return LastInputQuery::kAnswered;
  }

  std::uint32_t TickCount() override { return GetTickCount(); }

private:
  ScopedLibrary library_;
  GetLastInputInfoFunction getLastInputInfo_ = nullptr;
};

} // namespace

std::unique_ptr<LastInputSource> LastInputSource::Load() {
  HMODULE module = LoadLibraryW(L"user32.dll");
  // Some loaders answer the invalid-handle value instead of null.
  if (module == nullptr || module == reinterpret_cast<HMODULE>(INVALID_HANDLE_VALUE))
    return nullptr;
  return std::make_unique<User32LastInput>(module);
}

} // namespace platform
