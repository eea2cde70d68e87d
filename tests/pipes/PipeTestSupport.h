// What pipe tests share: a pipe name and pipe folder of the test's own, the test service
// running on a thread of the test process, and whole-file reads of what it recorded.
#pragma once

#include "tests/pipes/TestService.h"
#include "tests/support/files.h"
#include "tests/support/scoped_temp_dir.h"

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

namespace testservice {

/// A fresh pipe folder (NAMED_PIPE_DIR points at it while the scope lasts) and a pipe
/// name no other test uses, since on Windows every test shares one pipe namespace.
class ScopedPipePlace {
public:
  ScopedPipePlace();
  ScopedPipePlace(const ScopedPipePlace&) = delete;
  ScopedPipePlace& operator=(const ScopedPipePlace&) = delete;

  const std::u16string& Name() const { return name_; }
  const std::filesystem::path& Folder() const { return dir_.folder(); }

private:
  testing_support::ScopedTempDir dir_;
  std::u16string name_;
};

/// The test service on a thread; the constructor returns once it listens, the
/// destructor stops it.
class ServiceThread {
public:
  explicit ServiceThread(Options options);
  ~ServiceThread();
  ServiceThread(const ServiceThread&) = delete;
  ServiceThread& operator=(const ServiceThread&) = delete;

  /// Whether the service listened (false: it could not serve the pipe).
  bool Listening() const { return listening_; }

private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> listening_{false};
  std::thread thread_;
};

} // namespace testservice
