// The pipe tests' own folders, names and in-process service.
#include "tests/pipes/PipeTestSupport.h"

#include "platform/environment.h"
#include "text/TextConvert.h"

#include <chrono>
#include <fstream>
#include <future>
#include <iterator>
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

ScopedPipePlace::ScopedPipePlace() {
  std::string token = UniqueToken();
  folder_ = std::filesystem::temp_directory_path() / ("sa-pipes-" + token);
  std::filesystem::create_directories(folder_);
  platform::SetEnvVar("NAMED_PIPE_DIR", folder_.string());
  name_ = Utf8ToUtf16("SATest-" + token);
}

ScopedPipePlace::~ScopedPipePlace() {
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
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

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

} // namespace testservice
