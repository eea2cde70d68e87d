// Where InputHook gets the platform's last-input library from; tests give it a fake.
#pragma once

#include "platform/input_idle.h"

/// Chooses the source that InitInputHook starts with; the product's is
/// LastInputSource::Load with this process's session variables.
using TLastInputLoader = platform::IdleSourceChoice (*)();

/// Replaces the loader for the next InitInputHook; null restores the platform's.
void SetLastInputLoader(TLastInputLoader loader);

/// The name of the source the unit started with ("none" without one), for tests and
/// for whoever asks which way the idle time is read.
const char* InputIdleSourceName();
