// INI files on Windows: the profile functions of the system.
#include "platform/ini_profile.h"

#include "platform/win32/win_support.h"

namespace platform {
namespace {

// The profile functions truncate silently: a result that fills the buffer up to
// `reserve` characters before its end is asked for again with more room.
std::u16string ReadWhole(const wchar_t* section, const wchar_t* key, const wchar_t* fallback,
                         const wchar_t* fileName, DWORD reserve) {
  std::wstring buffer(256, L'\0');
  for (;;) {
    DWORD length = GetPrivateProfileStringW(section, key, fallback, buffer.data(),
                                            static_cast<DWORD>(buffer.size()), fileName);
    if (length + reserve < buffer.size() || buffer.size() >= (1u << 24))
      return win32::FromWide(buffer.data(), length);
    buffer.resize(buffer.size() * 4);
  }
}

} // namespace

std::u16string ReadProfileString(const std::u16string& fileName, const std::u16string& section,
                                 const std::u16string& key, const std::u16string& fallback) {
  return ReadWhole(win32::Wide(section), win32::Wide(key), win32::Wide(fallback),
                   win32::Wide(fileName), 1);
}

std::vector<std::u16string> ReadProfileKeys(const std::u16string& fileName,
                                            const std::u16string& section) {
  // Without a key name the answer is every key name, each ended by a zero.
  std::u16string names = ReadWhole(win32::Wide(section), nullptr, L"", win32::Wide(fileName), 2);
  std::vector<std::u16string> keys;
  size_t start = 0;
  while (start < names.size()) {
    size_t end = names.find(u'\0', start);
    if (end == std::u16string::npos)
      end = names.size();
    if (end > start)
      keys.push_back(names.substr(start, end - start));
    start = end + 1;
  }
  return keys;
}

} // namespace platform
