// Starts the InputHook unit the way the agent does and prints what came of it: the
// failure that escaped the start, or the source chosen and its readings. With a count,
// takes that many readings half a second apart, as the agent's cycle does.
#include "common/Scheduler/Utils/InputHook.h"
#include "common/Scheduler/Utils/InputHookSource.h"
#include "framework/Exception.h"
#include "framework/Units.h"
#include "text/TextConvert.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
  int readings = argc > 1 ? std::atoi(argv[1]) : 1;
  const Unit units[] = {{"InputHook", [] { InitInputHook(); }, DoneInputHook}};
  try {
    StartUnits(units);
  } catch (const Exception& e) {
    std::printf("%s: %s\nstarted units: %d\n", Utf16ToUtf8(e.ClassName()).c_str(), e.what(),
                StartedUnitCount());
    return 217;
  }
  std::printf("source %s\n", InputIdleSourceName());
  for (int i = 0; i < readings; ++i) {
    if (i > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::printf("seconds %u minutes %u\n", GetInputIdleSeconds(), GetInputIdleMinutes());
    std::fflush(stdout);
  }
  EndUnits();
  return 0;
}
