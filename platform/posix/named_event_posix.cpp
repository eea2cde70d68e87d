// The named auto-reset event as a POSIX named semaphore "/NAME" that never counts past one.
#include "platform/named_event.h"

#include "text/TextConvert.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <semaphore.h>

namespace platform {

namespace {

std::string SemaphoreName(const std::u16string& name) {
  // Built by copying: GCC 12 warns falsely (-Wrestrict) on "/" + string at -O3.
  std::string utf8 = Utf16ToUtf8(name);
  std::string result(utf8.size() + 1, '/');
  std::copy(utf8.begin(), utf8.end(), result.begin() + 1);
  return result;
}

class PosixNamedEvent : public NamedEvent {
public:
  explicit PosixNamedEvent(sem_t* semaphore) : semaphore_(semaphore) {}
  ~PosixNamedEvent() override { sem_close(semaphore_); }

  bool Wait(std::uint32_t timeoutMs) override {
    if (timeoutMs == 0)
      return sem_trywait(semaphore_) == 0;
    // Measured on the monotonic clock: a wall clock set back during the wait must not
    // stretch it.
    timespec until{};
    clock_gettime(CLOCK_MONOTONIC, &until);
    until.tv_sec += static_cast<time_t>(timeoutMs / 1000);
    until.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
    if (until.tv_nsec >= 1000000000L) {
      until.tv_sec += 1;
      until.tv_nsec -= 1000000000L;
    }
    int result;
    do
      result = sem_clockwait(semaphore_, CLOCK_MONOTONIC, &until);
    while (result != 0 && errno == EINTR);
    return result == 0;
  }

  bool Signal() override {
    // An event is either signalled or not: a second signal before a wait adds nothing.
    int value = 0;
    if (sem_getvalue(semaphore_, &value) == 0 && value > 0)
      return true;
    return sem_post(semaphore_) == 0;
  }

private:
  sem_t* semaphore_;
};

} // namespace

std::unique_ptr<NamedEvent> NamedEvent::Open(const std::u16string& name) {
  sem_t* semaphore = sem_open(SemaphoreName(name).c_str(), O_CREAT, 0666, 0);
  if (semaphore == SEM_FAILED)
    return nullptr;
  return std::make_unique<PosixNamedEvent>(semaphore);
}

void NamedEvent::Remove(const std::u16string& name) {
  sem_unlink(SemaphoreName(name).c_str());
}

} // namespace platform
