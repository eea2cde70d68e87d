// Start order, failure reports and process end.
#include "framework/Host.h"

#include "framework/Application.h"
#include "framework/Resources.h"
#include "framework/SysUtils.h"
#include "platform/message_box.h"
#include "platform/module.h"
#include "platform/process.h"
#include "text/StringTableIds.h"

#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace {

/// What the process's life holds: the framework units' state, the exit code and a
/// failed start's runtime error, and the list of units that are started.
struct THostState {
  bool ExceptionSupportInstalled = false;
  std::unique_ptr<TApplication> application;
  std::uint32_t ExitCode = 0;
  bool RuntimeErrorPending = false;
  std::uintptr_t RuntimeErrorAddress = 0;
  // Kept for the life of the process: the started-unit list refers to its entries.
  std::vector<Unit> units;
};

THostState& HostState() {
  static THostState state;
  return state;
}

void StartExceptionSupport() {
  HostState().ExceptionSupportInstalled = true;
}
void EndExceptionSupport() {
  HostState().ExceptionSupportInstalled = false;
}
void StartApplication() {
  HostState().application = std::make_unique<TApplication>();
}
void EndApplication() {
  // Null first, so that nothing reaches the object while it is being destroyed.
  std::unique_ptr<TApplication> application = std::move(HostState().application);
}

constexpr Unit kFrameworkUnits[] = {
    {"System", StartExceptionSupport, EndExceptionSupport},
    {"Forms", StartApplication, EndApplication},
};

// The class name, message and raise address of the failure now being handled.
struct FailureFacts {
  std::u16string className;
  std::u16string message;
  const void* raiseAddress = nullptr;
};

FailureFacts CurrentFailure() {
  try {
    throw;
  } catch (const Exception& e) {
    return {e.ClassName(), e.Message(), e.RaiseAddress()};
  } catch (const std::bad_alloc&) {
    return {u"EOutOfMemory", LoadStr(SOutOfMemory), nullptr};
  } catch (...) {
    return {u"Exception", u"", nullptr};
  }
}

// The platform's last chance: with a debugger attached the failure goes on to it.
void ConsultLastChanceFilter(std::exception_ptr failure) {
  if (platform::LastChanceFilterContinuesSearch())
    std::rethrow_exception(failure);
}

} // namespace

TApplication* Application() {
  return HostState().application.get();
}

ReportedAddress LocateRaiseAddress(const void* raiseAddress) {
  platform::ModuleOfCode module = platform::FindModuleOfAddress(raiseAddress);
  auto address = reinterpret_cast<std::uintptr_t>(raiseAddress);
  if (!module.found)
    return {ExtractFileName(platform::OwnModuleFileName()), address - 4096};
  return {ExtractFileName(module.path), address - module.base};
}

std::u16string UnhandledFailureText(const std::u16string& className, const std::u16string& message,
                                    const void* raiseAddress) {
  ReportedAddress where = LocateRaiseAddress(raiseAddress);
  std::u16string fullStop = !message.empty() && message.back() != u'.' ? u"." : u"";
  return Format(LoadStringDirect(SExceptionReportFormat),
                {className, where.moduleFileName,
                 reinterpret_cast<const void*>(where.offset & 0xFFFFFFFFu), message, fullStop});
}

std::u16string UnhandledFailureText(const Exception& failure) {
  return UnhandledFailureText(failure.ClassName(), failure.Message(), failure.RaiseAddress());
}

void ShowUnhandledFailure(const std::u16string& text) {
  platform::ShowMessageBox(LoadStringDirect(SExceptionReportTitle), text,
                           platform::kBoxTaskModal | platform::kBoxIconError | platform::kBoxOk);
}

std::string RuntimeErrorText(std::uint32_t errorCode, std::uintptr_t address) {
  std::string field = "Runtime error     at 00000000";
  std::string code = std::to_string(errorCode);
  // The code's last digit is the 17th character, the address's the 29th.
  for (size_t i = 0; i < code.size() && i <= 16; ++i)
    field[16 - i] = code[code.size() - 1 - i];
  static const char kHex[] = "0123456789ABCDEF";
  std::uint32_t value = static_cast<std::uint32_t>(address);
  for (size_t place = 28; value != 0; --place, value >>= 4)
    field[place] = kHex[value & 0xF];
  return field;
}

void EndProcess() {
  THostState& state = HostState();
  if (state.RuntimeErrorPending) {
    state.RuntimeErrorPending = false;
    platform::ShowMessageBoxAnsi(
        "Error", RuntimeErrorText(state.ExitCode, state.RuntimeErrorAddress), platform::kBoxOk);
  }
  EndUnits();
  platform::ExitProcess(state.ExitCode);
}

// A failure reached the top. With the exception support installed it gets the
// unhandled-failure report; without it (a failed start has ended it) the runtime error.
[[noreturn]] static void ReportFailureAtTop(std::exception_ptr failure) {
  FailureFacts facts;
  try {
    std::rethrow_exception(failure);
  } catch (...) {
    facts = CurrentFailure();
  }
  ConsultLastChanceFilter(failure);
  THostState& state = HostState();
  if (state.ExceptionSupportInstalled) {
    ShowUnhandledFailure(UnhandledFailureText(facts.className, facts.message, facts.raiseAddress));
    state.ExitCode = 1;
  } else {
    state.ExitCode = 217;
    state.RuntimeErrorPending = true;
    state.RuntimeErrorAddress = LocateRaiseAddress(facts.raiseAddress).offset;
  }
  EndProcess();
}

void RunProgram(std::span<const Unit> ownUnits, void (*mainBlock)()) {
  std::vector<Unit>& units = HostState().units;
  units.assign(std::begin(kFrameworkUnits), std::end(kFrameworkUnits));
  units.insert(units.end(), ownUnits.begin(), ownUnits.end());

  std::exception_ptr failure;
  try {
    StartUnits(units);
    mainBlock();
  } catch (...) {
    failure = std::current_exception();
  }
  if (failure)
    ReportFailureAtTop(failure);
  EndProcess();
}
