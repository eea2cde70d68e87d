// CompareStringW under the user default locale.
#include "platform/collation.h"

#include "platform/win32/win_support.h"

namespace platform {

int CompareTextIgnoreCase(const std::u16string& a, const std::u16string& b) {
  int result = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, win32::Wide(a),
                              static_cast<int>(a.size()), win32::Wide(b),
                              static_cast<int>(b.size()));
  return result == 0 ? 0 : result - CSTR_EQUAL;
}

} // namespace platform
