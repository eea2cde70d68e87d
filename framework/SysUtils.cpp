// Formatting, error texts and assertions.
#include "framework/SysUtils.h"

#include "framework/Resources.h"
#include "platform/error_text.h"
#include "text/StringTableIds.h"
#include "text/TextConvert.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace {

std::u16string Ascii(const char* text) {
  return Utf8ToUtf16(text);
}

[[noreturn]] void FormatError(unsigned ident, const std::u16string& format) {
  throw EConvertError(Format(LoadStr(ident), {format}));
}

std::u16string Pad(std::u16string text, int width, bool left) {
  if (width > 0 && static_cast<int>(text.size()) < width) {
    std::u16string fill(static_cast<size_t>(width) - text.size(), u' ');
    text = left ? text + fill : fill + text;
  }
  return text;
}

} // namespace

std::u16string Format(const std::u16string& format, std::span<const FormatArg> args) {
  std::u16string result;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    char16_t c = format[i];
    if (c != u'%') {
      result.push_back(c);
      continue;
    }
    size_t start = i++;
    if (i < format.size() && format[i] == u'%') {
      result.push_back(u'%');
      continue;
    }
    bool left = false;
    if (i < format.size() && format[i] == u'-')
      left = true, ++i;
    int width = 0;
    while (i < format.size() && format[i] >= u'0' && format[i] <= u'9')
      width = width * 10 + (format[i++] - u'0');
    if (i >= format.size())
      FormatError(SInvalidFormat, format);
    char16_t kind = static_cast<char16_t>(format[i] | 0x20);
    if (next >= args.size())
      FormatError(SArgumentMissing, format.substr(start, i + 1 - start));
    const auto& value = args[next++].value;
    char buffer[32];
    switch (kind) {
    case u's':
      if (!std::holds_alternative<std::u16string>(value))
        FormatError(SInvalidFormat, format);
      result += Pad(std::get<std::u16string>(value), width, left);
      break;
    case u'd':
    case u'u':
    case u'x': {
      if (!std::holds_alternative<std::int64_t>(value))
        FormatError(SInvalidFormat, format);
      auto n = std::get<std::int64_t>(value);
      if (kind == u'd')
        std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(n));
      else if (kind == u'u')
        std::snprintf(buffer, sizeof buffer, "%llu", static_cast<unsigned long long>(n));
      else
        std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(n));
      result += Pad(Ascii(buffer), width, left);
      break;
    }
    case u'p': {
      unsigned long long address = 0;
      if (std::holds_alternative<const void*>(value))
        address = reinterpret_cast<std::uintptr_t>(std::get<const void*>(value));
      else if (std::holds_alternative<std::int64_t>(value))
        address = static_cast<unsigned long long>(std::get<std::int64_t>(value));
      else
        FormatError(SInvalidFormat, format);
      std::snprintf(buffer, sizeof buffer, "%08llX", address);
      result += Pad(Ascii(buffer), width, left);
      break;
    }
    default:
      FormatError(SInvalidFormat, format);
    }
  }
  return result;
}

std::u16string SysErrorMessage(std::uint32_t errorCode) {
  std::u16string text = platform::SystemErrorText(errorCode);
  while (!text.empty() && (text.back() <= u' ' || text.back() == u'.'))
    text.pop_back();
  return text;
}

void RaiseLastOSError(const void* raiseAddress) {
  std::uint32_t code = platform::LastErrorCode();
  if (code == 0)
    throw EOSError(LoadStr(SUnknownOSError), code, raiseAddress);
  throw EOSError(FmtLoadStr(SOSError, {static_cast<unsigned>(code), SysErrorMessage(code)}), code,
                 raiseAddress);
}

void AssertionFailed(const std::u16string& message, const std::u16string& fileName, int line,
                     const void* raiseAddress) {
  throw EAssertionFailed(FmtLoadStr(SAssertionFailed, {message, fileName, line}), raiseAddress);
}

SourcePlace SourcePlace::Of(const char* file, int line) {
  // The compiler records files as it was given them. This file's own name, less its
  // place in the tree, is the tree's root, whether the build named files by absolute or
  // by relative paths.
  static const std::string_view root = [] {
    std::string_view self = SA_CALLER_FILE;
    constexpr std::string_view kSelf = "framework/SysUtils.cpp";
    constexpr std::string_view kSelfBackslashed = "framework\\SysUtils.cpp";
    if (self.ends_with(kSelf) || self.ends_with(kSelfBackslashed))
      self.remove_suffix(kSelf.size());
    return self;
  }();
  std::string_view relative = file;
  if (relative.starts_with(root))
    relative.remove_prefix(root.size());
  std::u16string fileName = Utf8ToUtf16(relative);
  std::replace(fileName.begin(), fileName.end(), u'/', u'\\');
  return {fileName, line};
}

std::u16string Trim(std::u16string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && text[begin] <= u' ')
    ++begin;
  while (end > begin && text[end - 1] <= u' ')
    --end;
  return std::u16string(text.substr(begin, end - begin));
}

char16_t PathSeparator() {
  return static_cast<char16_t>(std::filesystem::path::preferred_separator);
}

namespace {

// Where the name starts: after the last of the separators, or at 0 without one.
size_t NameStart(const std::u16string& path, std::u16string_view separators) {
  size_t at = path.find_last_of(separators);
  return at == std::u16string::npos ? 0 : at + 1;
}

} // namespace

std::u16string ExtractFilePath(const std::u16string& path) {
  // On Linux a backslash is part of a file name, so the folder ends at the last slash.
  const char16_t separators[] = {u'/', PathSeparator()};
  return path.substr(0, NameStart(path, std::u16string_view(separators, 2)));
}

std::u16string ExtractFileName(const std::u16string& path) {
  return path.substr(NameStart(path, u"/\\"));
}
