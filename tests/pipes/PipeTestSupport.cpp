// The pipe tests' own folders, names and in-process service.
#include "tests/pipes/PipeTestSupport.h"

#include "platform/environment.h"
#include "text/TextConvert.h"

#include <chrono>
#include <future>
#include <memory>
#include <random>

namespace testservice {

namespace {

std::string UniqueToken() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  auto now = std::chrono::steady_clock::now().time_since_epoch().count();
  return std::to_string(random()) + "-" + std::to_string(now % 1000000007) + "-" +
         std::to_string(counter++);
}

} // namespace

ScopedPipePlace::ScopedPipePlace() : name_(Utf8ToUtf16("SATest-" + UniqueToken())) {
  platform::SetEnvVar("NAMED_PIPE_DIR", dir_.path());
}

ServiceThread::ServiceThread(Options options) {
  // Shared, so the thread may still be inside set_value when the constructor returns.
  auto started = std::make_shared<std::promise<bool>>();
  std::future<bool> listening = started->get_future();
  thread_ = std::thread([this, options, started] {
    bool announced = false;
    Run(
        options, [this] { return stop_.load(); },
        [&] {
          announced = true;
          started->set_value(true);
        });
    if (!announced)
      started->set_value(false);
  });
  listening_ = listening.get();
}

ServiceThread::~ServiceThread() {
  stop_ = true;
  thread_.join();
}

} // namespace testservice
