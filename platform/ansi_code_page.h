// The system's 8-bit text encoding, the one its plain text files are written in.
#pragma once

#include <string>
#include <string_view>

namespace platform {

/// The text in the ANSI code page (Linux: the codeset of the current LC_CTYPE).
/// Characters it cannot represent become its default character, "?" on Linux.
std::string ToAnsiCodePage(std::u16string_view text);

} // namespace platform
