// Reading INI files: "[section]" lines, each followed by "key=value" lines. Section and
// key names compare without regard to case, values come without surrounding blanks,
// and of duplicate keys the first wins.
#pragma once

#include <string>
#include <vector>

namespace platform {

/// The value of the key, or fallback when the file, section or key is missing or the
/// file cannot be read.
std::u16string ReadProfileString(const std::u16string& fileName, const std::u16string& section,
                                 const std::u16string& key, const std::u16string& fallback);

/// The key names of the section in file order, as often as they occur; empty when the
/// file or section is missing.
std::vector<std::u16string> ReadProfileKeys(const std::u16string& fileName,
                                            const std::u16string& section);

} // namespace platform
