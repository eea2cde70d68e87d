// The reading every source shares.
#include "platform/input_idle.h"

namespace platform {

LastInputQuery LastInputSource::IdleMilliseconds(std::uint32_t& idle) {
  std::uint32_t lastInput = 0;
  LastInputQuery answer = LastInputTick(lastInput);
  if (answer == LastInputQuery::kAnswered)
    idle = TickCount() - lastInput;
  return answer;
}

} // namespace platform
