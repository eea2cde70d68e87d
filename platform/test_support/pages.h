// Pages of a test's own with chosen protections, and the protection a page has now, read
// from the system rather than from the code under test.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform_testing {

enum class PageAccess { kReadExecute, kReadOnly, kOther };

/// Two adjacent pages, the first readable and executable, the second read-only, so that a
/// single "previous protection" shared between them would show. Freed with the scope.
class TwoTestPages {
public:
  TwoTestPages();
  ~TwoTestPages();
  TwoTestPages(const TwoTestPages&) = delete;
  TwoTestPages& operator=(const TwoTestPages&) = delete;

  /// Null when the pages could not be had.
  std::uint8_t* Base() const { return base_; }
  std::size_t PageSize() const { return pageSize_; }

private:
  std::uint8_t* base_ = nullptr;
  std::size_t pageSize_ = 0;
};

/// The protection of the page that holds `address`.
PageAccess AccessAt(const void* address);

} // namespace platform_testing
