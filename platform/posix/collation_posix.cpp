// The C library's collation of the LC_COLLATE locale over case-folded wide texts.
#include "platform/collation.h"

#include "text/TextConvert.h"

#include <clocale>
#include <cwchar>
#include <cwctype>
#include <locale.h>
#include <string>

namespace platform {

namespace {

// Texts become wchar_t (UTF-32 here), folded to lower case under the same locale.
std::wstring Fold(const std::u16string& text, locale_t locale) {
  std::wstring result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = CodePointAt(text, i);
    result.push_back(static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), locale)));
  }
  return result;
}

locale_t UserCollation() {
  // Made once from the environment; the C locale when the environment names none
  // that exists.
  static locale_t locale = [] {
    locale_t l = newlocale(LC_COLLATE_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(0));
    return l ? l : newlocale(LC_COLLATE_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
  }();
  return locale;
}

} // namespace

int CompareTextIgnoreCase(const std::u16string& a, const std::u16string& b) {
  locale_t locale = UserCollation();
  std::wstring fa = Fold(a, locale), fb = Fold(b, locale);
  int result = wcscoll_l(fa.c_str(), fb.c_str(), locale);
  // Collation may call distinct texts equal; only case differences count as equal.
  if (result == 0 && fa != fb)
    result = fa < fb ? -1 : 1;
  return result;
}

} // namespace platform
