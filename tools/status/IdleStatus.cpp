// The idle source of this session as the agent's idle unit chooses it, and one reading.
#include "tools/status/IdleStatus.h"

#include "common/Scheduler/Utils/InputHook.h"
#include "common/Scheduler/Utils/InputHookSource.h"
#include "framework/Exception.h"
#include "text/TextConvert.h"

#include <string_view>

namespace {

/// Sources that learn of input only through notifications after they connect.
bool CountsFromStart(std::string_view source) {
  return source == "ext_idle_notifier_v1" || source == "org_kde_kwin_idle";
}

} // namespace

TIdleStatus ReadIdleStatus() {
  TIdleStatus idle;
  try {
    InitInputHook();
    idle.Source = Utf8ToUtf16(InputIdleSourceName());
    idle.Seconds = GetInputIdleSeconds();
    idle.CountedFromStart = CountsFromStart(InputIdleSourceName());
  } catch (const Exception& failure) {
    // The agent fails its start here: it reads nothing.
    idle.Source = u"none";
    idle.Failure = failure.Message();
  }
  DoneInputHook();
  return idle;
}
