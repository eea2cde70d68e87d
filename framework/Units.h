// Start and end work of the program's units, run in an order the entry owns.
#pragma once

#include <span>

/// One unit: a name for diagnostics and its start and end work (either may be empty).
struct Unit {
  const char* Name;
  void (*Start)();
  void (*End)();
};

/// Runs the start work of each unit once, in order. When a start fails, the units
/// started so far end in reverse order, the failing one included, and the failure
/// passes on to the caller.
void StartUnits(std::span<const Unit> units);

/// Runs the end work of every started unit in reverse start order, once.
void EndUnits();

/// How many units have started and not yet ended.
int StartedUnitCount();
