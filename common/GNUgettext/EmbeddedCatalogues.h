// The layout of the table of catalogues appended to an executable.
//
// After the executable's own bytes: the begin marker, then (counted from the byte after
// it, Base) the catalogues, a chain of entries (next entry, catalogue position, size,
// UTF-8 name; a lone 0 ends the chain), the position of the first entry, and the end
// marker. All integers are 64-bit little-endian signed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace embedded_catalogues {

/// Both markers are 39 bytes: the common prefix, then a signature.
constexpr std::int64_t kMarkerLength = 39;

/// The markers, joined when asked for: the program's data holds their parts apart, so
/// that no executable made from this code carries a whole marker of its own.
std::string BeginMarker();
std::string EndMarker();

struct Catalogue {
  std::string name;  // path relative to the executable's folder, UTF-8
  std::string bytes; // the .mo file's contents
};

/// The bytes to append to an executable so that it carries the catalogues.
std::string BuildTable(const std::vector<Catalogue>& catalogues);

} // namespace embedded_catalogues
