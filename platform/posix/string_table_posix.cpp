// The built-in texts compiled into a table, behind a LoadStringW of the same contract.
#include "platform/string_table.h"

#include <algorithm>
#include <cstddef>
#include <string>

namespace platform {

namespace {

struct StringTableEntry {
  unsigned id;
  const char16_t* text;
};

constexpr StringTableEntry kStringTable[] = {
#define SA_STRING(name, id, text) {id, u"" text},
#include "text/StringTable.def"
#undef SA_STRING
};

int MainModuleMarker;

} // namespace

ResourceModule MainResourceModule() {
  return &MainModuleMarker;
}

std::vector<ResourceModule> ResourceModules() {
  return {MainResourceModule()};
}

int LoadStringW(ResourceModule module, unsigned id, char16_t* buffer, int bufferMax) {
  if (module != MainResourceModule() || buffer == nullptr)
    return 0;
  const StringTableEntry* entry =
      std::find_if(std::begin(kStringTable), std::end(kStringTable),
                   [id](const StringTableEntry& e) { return e.id == id; });
  if (entry == std::end(kStringTable)) {
    if (bufferMax > 0)
      buffer[0] = u'\0';
    return 0;
  }
  int length = static_cast<int>(std::char_traits<char16_t>::length(entry->text));
  if (bufferMax == 0) {
    *reinterpret_cast<const char16_t**>(buffer) = entry->text;
    return length;
  }
  int copied = std::min(length, bufferMax - 1);
  std::copy_n(entry->text, copied, buffer);
  buffer[copied] = u'\0';
  return copied;
}

} // namespace platform
