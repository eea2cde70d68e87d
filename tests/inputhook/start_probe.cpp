// Starts the InputHook unit the way the agent does and prints what came of it: the
// failure that escaped the start, or the readings.
#include "common/Scheduler/Utils/InputHook.h"
#include "framework/Exception.h"
#include "framework/TextConvert.h"
#include "framework/Units.h"

#include <cstdio>

int main() {
  const Unit units[] = {{"InputHook", [] { InitInputHook(); }, DoneInputHook}};
  try {
    StartUnits(units);
  } catch (const Exception& e) {
    std::printf("%s: %s\nstarted units: %d\n", Utf16ToUtf8(e.ClassName()).c_str(), e.what(),
                StartedUnitCount());
    return 217;
  }
  std::printf("seconds %u minutes %u\n", GetInputIdleSeconds(), GetInputIdleMinutes());
  EndUnits();
  return 0;
}
