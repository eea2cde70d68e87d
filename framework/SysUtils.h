// Text formatting, system error texts, assertions and path parts of the runtime.
#pragma once

#include "framework/Exception.h"
#include "platform/compiler.h"

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>

/// One argument of Format: an integer, a text or a code or data address.
struct FormatArg {
  FormatArg(int v) : value(static_cast<std::int64_t>(v)) {}
  FormatArg(unsigned v) : value(static_cast<std::int64_t>(v)) {}
  FormatArg(long v) : value(static_cast<std::int64_t>(v)) {}
  FormatArg(unsigned long v) : value(static_cast<std::int64_t>(v)) {}
  FormatArg(long long v) : value(static_cast<std::int64_t>(v)) {}
  FormatArg(unsigned long long v) : value(static_cast<std::int64_t>(v)) {}
  FormatArg(std::u16string v) : value(std::move(v)) {}
  FormatArg(const char16_t* v) : value(std::u16string(v)) {}
  FormatArg(const void* v) : value(v) {}

  std::variant<std::int64_t, std::u16string, const void*> value;
};

/// Fills a format with %s (text), %d (signed decimal), %u (unsigned decimal), %x (hex),
/// %p (an address, upper-case hex of at least 8 digits) and %%; widths such as %8x and
/// %-10s are honoured. A directive without argument or of the wrong kind raises
/// EConvertError.
std::u16string Format(const std::u16string& format, std::span<const FormatArg> args);
inline std::u16string Format(const std::u16string& format, std::initializer_list<FormatArg> args) {
  return Format(format, std::span<const FormatArg>(args.begin(), args.size()));
}

/// The system's text for an error code, without trailing blanks, control characters
/// and full stops.
std::u16string SysErrorMessage(std::uint32_t errorCode);

/// Raises EOSError for the calling thread's last error code.
[[noreturn]] void RaiseLastOSError(const void* raiseAddress = platform::CurrentCodeAddress());

/// Raises EAssertionFailed with message, file and line joined by the runtime's format.
[[noreturn]] void AssertionFailed(const std::u16string& message, const std::u16string& fileName,
                                  int line,
                                  const void* raiseAddress = platform::CurrentCodeAddress());

/// A place in the sources as assertion failures name it: the file relative to the
/// source tree with backslashes between folders, and the line.
struct SourcePlace {
  std::u16string fileName;
  int line = 0;

  /// The place the compiler recorded, such as that of a call.
  static SourcePlace Of(const char* file, int line);
};

/// Raises EAssertionFailed unless the condition holds, naming the place of the call.
inline void Assert(bool condition, std::u16string_view message,
                   const char* callerFile = SA_CALLER_FILE, int callerLine = SA_CALLER_LINE,
                   const void* raiseAddress = platform::CurrentCodeAddress()) {
  if (!condition) {
    SourcePlace place = SourcePlace::Of(callerFile, callerLine);
    AssertionFailed(std::u16string(message), place.fileName, place.line, raiseAddress);
  }
}

/// The same with a place the behaviour fixes rather than the call's own.
inline void Assert(bool condition, std::u16string_view message, const SourcePlace& place,
                   const void* raiseAddress = platform::CurrentCodeAddress()) {
  if (!condition)
    AssertionFailed(std::u16string(message), place.fileName, place.line, raiseAddress);
}

/// Trims blanks and control characters (everything up to U+0020) from both ends.
std::u16string Trim(std::u16string_view text);

/// The platform's path separator.
char16_t PathSeparator();

/// The folder part of a path, ending in its last separator; empty without one. A slash
/// separates on every system, the platform's own separator as well: this is the folder
/// that files are read from and written to.
std::u16string ExtractFilePath(const std::u16string& path);

/// The part of a path after its last slash or backslash, on every system: a name to be
/// shown (a title, a module in a report), whichever system's form the path has.
std::u16string ExtractFileName(const std::u16string& path);
