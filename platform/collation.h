// Locale-aware comparison of texts, as the user's locale orders them.
#pragma once

#include <string>

namespace platform {

/// Negative, zero or positive as a sorts before, equal to or after b, ignoring case,
/// under the user's default locale.
int CompareTextIgnoreCase(const std::u16string& a, const std::u16string& b);

} // namespace platform
