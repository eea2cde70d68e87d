// The process-wide list of started units.
#include "framework/Units.h"

#include <vector>

namespace {

std::vector<const Unit*>& Started() {
  static std::vector<const Unit*> started;
  return started;
}

// Ends the started units when a start work leaves by a failure.
class EndUnitsOnFailure {
public:
  ~EndUnitsOnFailure() {
    if (!fCompleted)
      EndUnits();
  }
  void Completed() { fCompleted = true; }

private:
  bool fCompleted = false;
};

} // namespace

void StartUnits(std::span<const Unit> units) {
  EndUnitsOnFailure guard;
  for (const Unit& unit : units) {
    // Counted before its start runs: a unit whose start fails still ends.
    Started().push_back(&unit);
    if (unit.Start)
      unit.Start();
  }
  guard.Completed();
}

void EndUnits() {
  auto& started = Started();
  while (!started.empty()) {
    const Unit* unit = started.back();
    started.pop_back();
    if (unit->End)
      unit->End();
  }
}

int StartedUnitCount() { return static_cast<int>(Started().size()); }
