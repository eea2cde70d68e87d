// The last input time from user32.dll's GetLastInputInfo, looked up at run time.
#include "platform/input_idle.h"

#include "platform/shared_library.h"
#include "platform/win32/win_support.h"

namespace platform {
namespace {

using GetLastInputInfoFunction = BOOL(WINAPI*)(PLASTINPUTINFO);

class User32LastInput : public LastInputSource {
public:
  explicit User32LastInput(SharedLibrary library) : library_(std::move(library)) {}

  bool FindLastInputFunction() override {
    getLastInputInfo_ = library_.Find<GetLastInputInfoFunction>("GetLastInputInfo");
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
  SharedLibrary library_;
  GetLastInputInfoFunction getLastInputInfo_ = nullptr;
};

} // namespace

EnvironmentVariables LastInputSource::SessionVariables() {
  return {};
}

IdleSourceChoice LastInputSource::Load(const EnvironmentVariables&) {
  IdleSourceChoice choice;
  std::string whyNot;
  SharedLibrary library = SharedLibrary::Load("user32.dll", whyNot);
  if (library.Loaded())
    choice.source = std::make_unique<User32LastInput>(std::move(library));
  else
    choice.notTaken.push_back({"GetLastInputInfo", whyNot});
  return choice;
}

} // namespace platform
