// The system's one trace entry point, its listener slot, and the list of defines.
#pragma once

#include <string>
#include <vector>

/// The one listener: a plain function, no context beside it.
using TTraceListener = void (*)(const std::u16string& text);

/// The listener slot: empty until the debug log's set-up installs its writer, which the
/// unit never resets.
TTraceListener TraceListener();
void SetTraceListener(TTraceListener listener);

/// Hands the text unchanged to the listener, if one is installed.
void DebugTrace(const std::u16string& text);

/// Inserts a name at its sorted place; a name already present, ignoring case, is kept
/// in the form that came first.
void AddDefine(const std::u16string& name);

/// The defines switched on, in their sorted order (for inspection; nothing consults them).
const std::vector<std::u16string>& Defines();

/// Unit start and end work: create and destroy the defines list.
void InitDebugg();
void DoneDebugg();
