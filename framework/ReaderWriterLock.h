// A lock that many readers may hold at once, or one writer alone.
#pragma once

#include <shared_mutex>

/// Shared for readers, exclusive for writers; usable with std::unique_lock and
/// std::shared_lock.
class TReaderWriterLock {
public:
  void BeginRead() { mutex_.lock_shared(); }
  void EndRead() { mutex_.unlock_shared(); }
  void BeginWrite() { mutex_.lock(); }
  void EndWrite() { mutex_.unlock(); }

  void lock() { mutex_.lock(); }
  void unlock() { mutex_.unlock(); }
  void lock_shared() { mutex_.lock_shared(); }
  void unlock_shared() { mutex_.unlock_shared(); }

private:
  std::shared_mutex mutex_;
};
