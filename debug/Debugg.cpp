// Trace dispatch and the defines list.
#include "debug/Debugg.h"

#include "platform/collation.h"

#include <algorithm>
#include <optional>

namespace {

/// What the unit holds: the listener slot, and the defines list that its start makes and
/// its end destroys.
struct TDebuggState {
  TTraceListener listener = nullptr;
  std::optional<std::vector<std::u16string>> defines;
};

TDebuggState& DebuggState() {
  static TDebuggState state;
  return state;
}

} // namespace

TTraceListener TraceListener() {
  return DebuggState().listener;
}

void SetTraceListener(TTraceListener listener) {
  DebuggState().listener = listener;
}

void DebugTrace(const std::u16string& text) {
  if (TTraceListener listener = DebuggState().listener)
    listener(text);
}

void AddDefine(const std::u16string& name) {
  auto& defines = DebuggState().defines;
  if (!defines)
    return;
  auto& list = *defines;
  auto at = std::lower_bound(list.begin(), list.end(), name,
                             [](const std::u16string& entry, const std::u16string& value) {
                               return platform::CompareTextIgnoreCase(entry, value) < 0;
                             });
  if (at != list.end() && platform::CompareTextIgnoreCase(*at, name) == 0)
    return;
  list.insert(at, name);
}

const std::vector<std::u16string>& Defines() {
  static const std::vector<std::u16string> none;
  const auto& defines = DebuggState().defines;
  return defines ? *defines : none;
}

void InitDebugg() {
  DebuggState().defines.emplace();
}

void DoneDebugg() {
  DebuggState().defines.reset();
}
