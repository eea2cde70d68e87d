// The idle source of this session as the agent chooses it, from the same environment
// variables, and one reading as the agent takes it.
#include "tools/status/IdleStatus.h"

#include "platform/input_idle.h"
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
  platform::IdleSourceChoice choice =
      platform::LastInputSource::Load(platform::LastInputSource::SessionVariables());
  for (const platform::IdleSourceChoice::NotTaken& notTaken : choice.notTaken)
    idle.NotTaken.push_back({Utf8ToUtf16(notTaken.source), Utf8ToUtf16(notTaken.why)});
  idle.Source = u"none";
  if (!choice.incomplete.empty()) {
    // The agent fails its start on this one: it reads nothing.
    idle.Failure = Utf8ToUtf16(choice.incomplete) + u": the agent cannot start (exit code 217)";
    return idle;
  }
  if (!choice.source)
    return idle;
  if (!choice.source->FindLastInputFunction()) {
    idle.Failure = u"Failed to find GetLastInputInfo in DLL!";
    return idle;
  }
  idle.Source = Utf8ToUtf16(choice.Name());
  idle.CountedFromStart = CountsFromStart(choice.Name());
  std::uint32_t milliseconds = 0;
  if (choice.source->IdleMilliseconds(milliseconds) == platform::LastInputQuery::kAnswered)
    idle.Seconds = milliseconds / 1000u;
  else
    idle.Failure = u"the reading failed: the agent reports 0 while it does";
  return idle;
}
