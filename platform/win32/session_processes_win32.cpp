// The processes of this session from a snapshot of the system's process list, each one's
// session id asked of the system: the same program in another user's session serves
// that session, not this one.
#include "platform/session_processes.h"

#include "platform/win32/win_support.h"

#include <algorithm>
#include <tlhelp32.h>

namespace platform {
namespace {

bool SameFileName(const wchar_t* a, const std::u16string& b) {
  return CompareStringOrdinal(a, -1, win32::Wide(b), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

std::u16string ExecutableOf(DWORD processId) {
  win32::ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process.valid())
    return {};
  std::wstring buffer(32768, L'\0');
  DWORD length = static_cast<DWORD>(buffer.size());
  if (!QueryFullProcessImageNameW(process.get(), 0, buffer.data(), &length))
    return {};
  return win32::FromWide(buffer.data(), length);
}

} // namespace

std::vector<SessionProcess> FindSessionProcesses(const std::u16string& programName) {
  std::vector<SessionProcess> found;
  DWORD ownSession = 0;
  if (!ProcessIdToSessionId(GetCurrentProcessId(), &ownSession))
    return found;
  win32::ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.valid())
    return found;
  const std::u16string fileName = programName + u".exe";
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    DWORD session = 0;
    if (entry.th32ProcessID == GetCurrentProcessId() || !SameFileName(entry.szExeFile, fileName) ||
        !ProcessIdToSessionId(entry.th32ProcessID, &session) || session != ownSession)
      continue;
    // Empty when the process may not be asked: it still runs here.
    found.push_back({entry.th32ProcessID, ExecutableOf(entry.th32ProcessID)});
  }
  std::sort(found.begin(), found.end(),
            [](const SessionProcess& a, const SessionProcess& b) { return a.id < b.id; });
  return found;
}

} // namespace platform
