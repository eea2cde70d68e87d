// The process's life, told in one place: the framework's units start (the exception
// support, then the application object of Application.h), then the program's own units
// (Units.h), the main block runs, a failure that reaches the top gets its report, and the
// started units end in reverse before the process ends with its exit code.
#pragma once

#include "framework/Exception.h"
#include "framework/Units.h"

#include <cstdint>
#include <span>
#include <string>

/// Starts the framework's units and then `ownUnits`, runs the main block, and ends the
/// process the way it ended. Never returns.
[[noreturn]] void RunProgram(std::span<const Unit> ownUnits, void (*mainBlock)());

/// Ends every started unit in reverse start order and ends the process with its exit
/// code (0, 1 after the unhandled-failure report, 217 after a failed start);
/// shows the runtime error box first when a failed start left its address.
[[noreturn]] void EndProcess();

/// "Exception %s in module %s at %p.\r\n%s%s\r\n" filled for the failure.
std::u16string UnhandledFailureText(const Exception& failure);
std::u16string UnhandledFailureText(const std::u16string& className, const std::u16string& message,
                                    const void* raiseAddress);

/// Shows the "Application Error" box for a failure; the caller decides what follows.
void ShowUnhandledFailure(const std::u16string& text);

/// The 29-character runtime error field, "Runtime error     at 00000000" filled in.
std::string RuntimeErrorText(std::uint32_t errorCode, std::uintptr_t address);

/// The raise address as the reports show it: module file name and offset from its base.
struct ReportedAddress {
  std::u16string moduleFileName;
  std::uintptr_t offset;
};
ReportedAddress LocateRaiseAddress(const void* raiseAddress);
