// Writing a command's output where its user sees it: the console or whatever standard
// output was redirected to.
#pragma once

#include <string>

namespace platform {

enum class OutputStream { kOutput, kError };

/// Writes the text to standard output or error: a console shows it as Unicode, a file or
/// pipe receives UTF-8. False when it could not be written.
bool WriteText(OutputStream stream, const std::u16string& text);

/// For a windowed program (one that gets no console of its own): attaches it to the
/// console of the process that started it, when its standard output goes nowhere else,
/// so that WriteText reaches that console. False when there is none to reach.
bool UseStartingConsole();

} // namespace platform
