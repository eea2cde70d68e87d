// Environment variables, kept in step for the Win32 API and the C runtime's getenv.
#include "platform/environment.h"

#include "platform/win32/win_support.h"
#include "text/TextConvert.h"

#include <cstdlib>

namespace platform {

bool SetEnvVar(const std::string& name, const std::string& value) {
  std::u16string wideName = Utf8ToUtf16(name), wideValue = Utf8ToUtf16(value);
  bool ok = ::SetEnvironmentVariableW(win32::Wide(wideName), win32::Wide(wideValue)) != FALSE;
  return _putenv_s(name.c_str(), value.c_str()) == 0 && ok;
}

} // namespace platform
