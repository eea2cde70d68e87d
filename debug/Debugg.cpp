// Trace dispatch and the defines list.
#include "debug/Debugg.h"

#include "platform/collation.h"

#include <algorithm>
#include <memory>

TTraceListener TraceListener = nullptr;

namespace {

std::unique_ptr<std::vector<std::u16string>> DefinesList;

} // namespace

void DebugTrace(const std::u16string& text) {
  if (TraceListener)
    TraceListener(text);
}

void AddDefine(const std::u16string& name) {
  if (!DefinesList)
    return;
  auto& list = *DefinesList;
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
  return DefinesList ? *DefinesList : none;
}

void InitDebugg() { DefinesList = std::make_unique<std::vector<std::u16string>>(); }

void DoneDebugg() { DefinesList.reset(); }
