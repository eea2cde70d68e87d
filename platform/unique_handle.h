// An owned system handle, closed when its scope ends. Implementation here must contain
// only operating-system independent code: each system describes its kind of handle in
// traits (posix/scoped_fd.h, win32/win_support.h).
#pragma once

namespace platform {

/// Traits give `Type`, `Invalid()`, `IsValid(handle)` and `Close(handle)`; Close keeps
/// the thread's last error code as it was, so that a failure's code survives the
/// clean-up that follows it.
template <typename Traits> class UniqueHandle {
public:
  using Type = typename Traits::Type;

  UniqueHandle() = default;
  explicit UniqueHandle(Type handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  Type get() const { return handle_; }
  bool valid() const { return Traits::IsValid(handle_); }
  Type release() {
    Type handle = handle_;
    handle_ = Traits::Invalid();
    return handle;
  }
  void reset(Type handle = Traits::Invalid()) {
    if (valid())
      Traits::Close(handle_);
    handle_ = handle;
  }

private:
  Type handle_ = Traits::Invalid();
};

} // namespace platform
