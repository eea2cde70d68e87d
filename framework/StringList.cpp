// The case-insensitive comparison of the string lists, and their one failure text.
#include "framework/StringList.h"

#include "framework/Resources.h"
#include "text/StringTableIds.h"

namespace {

char16_t FoldAscii(char16_t c) {
  return c >= u'a' && c <= u'z' ? c - (u'a' - u'A') : c;
}

} // namespace

int CompareTextOrdinalIgnoreCase(std::u16string_view a, std::u16string_view b) {
  size_t common = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < common; ++i) {
    char16_t x = FoldAscii(a[i]);
    char16_t y = FoldAscii(b[i]);
    if (x != y)
      return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

void RaiseDuplicateString() {
  throw EListError(LoadStr(SDuplicateString));
}
