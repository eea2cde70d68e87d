// Switching the process's C library locale for one test on Linux.
#pragma once

#include <clocale>
#include <string>

namespace platform_testing {

/// Sets the category's locale and puts the previous one back when the scope ends.
class ScopedLocale {
public:
  ScopedLocale(int category, const char* name) : category_(category) {
    saved_ = std::setlocale(category, nullptr);
    available_ = std::setlocale(category, name) != nullptr;
  }
  ~ScopedLocale() { std::setlocale(category_, saved_.c_str()); }
  ScopedLocale(const ScopedLocale&) = delete;
  ScopedLocale& operator=(const ScopedLocale&) = delete;
  bool Available() const { return available_; }

private:
  int category_;
  std::string saved_;
  bool available_;
};

} // namespace platform_testing
