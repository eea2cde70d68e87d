// How long the user of this session has been idle: the time since the last keyboard or
// mouse input, read from the platform each time.
#pragma once

#include <cstdint>

/// Whole seconds since the last input; 0 when it cannot be measured.
std::uint32_t GetInputIdleSeconds();

/// Whole minutes since the last input, from a measurement of its own; 0 when it cannot
/// be measured.
std::uint32_t GetInputIdleMinutes();

/// Unit start: loads the platform library and finds the last-input function. False
/// when the library cannot be loaded; an assertion failure when the function is missing.
bool InitInputHook();

/// Unit end: releases the library.
void DoneInputHook();
