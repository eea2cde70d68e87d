// Child processes through CreateProcessW; quits and session ends as the desktop sends
// them, and boxes read and closed as a user would.
#include "tests/support/child_process.h"

#include "platform/win32/win_support.h"
#include "tests/support/wait_until.h"
#include "text/TextConvert.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testing_support {

namespace fs = std::filesystem;

namespace {

std::wstring ToWide(const std::string& text) {
  std::u16string u = Utf8ToUtf16(text);
  return std::wstring(u.begin(), u.end());
}

std::string ToUtf8(const wchar_t* text) {
  return Utf16ToUtf8(platform::win32::FromWide(text));
}

struct WindowSearch {
  DWORD pid;
  const wchar_t* className;
  const wchar_t* title; // null: any
  HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid)
    return TRUE;
  wchar_t name[256];
  if (!GetClassNameW(window, name, 256) || wcscmp(name, search->className) != 0)
    return TRUE;
  if (search->title) {
    wchar_t title[256];
    GetWindowTextW(window, title, 256);
    if (wcscmp(title, search->title) != 0)
      return TRUE;
  }
  search->found = window;
  return FALSE;
}

// The box's text is its static control with text; identifiers differ between systems.
BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
  auto* longest = reinterpret_cast<std::wstring*>(param);
  wchar_t name[64];
  if (GetClassNameW(child, name, 64) && _wcsicmp(name, L"Static") == 0) {
    wchar_t text[4096] = L"";
    int length = GetWindowTextW(child, text, 4096);
    if (length > static_cast<int>(longest->size()))
      longest->assign(text, static_cast<size_t>(length));
  }
  return TRUE;
}

HWND FindProcessWindow(DWORD pid, const wchar_t* className, const wchar_t* title = nullptr) {
  WindowSearch search{pid, className, title};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

} // namespace

struct ChildProcess::Native {
  PROCESS_INFORMATION info{};
  bool exited = false;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::pair<std::string, std::string>>& environment,
                           const std::string& outputDir)
    : fNative(new Native) {
  NameOutputFiles(outputDir);

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  auto open = [&](const std::string& path) {
    return platform::win32::ScopedHandle(
        CreateFileW(ToWide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  };
  platform::win32::ScopedHandle out = open(fOutPath), err = open(fErrPath);

  // The environment block: this process's variables with the given ones replaced.
  std::wstring block;
  wchar_t* current = GetEnvironmentStringsW();
  for (const wchar_t* e = current; *e; e += wcslen(e) + 1) {
    std::wstring entry = e;
    bool replaced = false;
    for (const auto& [name, value] : environment) {
      std::wstring prefix = ToWide(name) + L"=";
      if (_wcsnicmp(entry.c_str(), prefix.c_str(), prefix.size()) == 0)
        replaced = true;
    }
    if (!replaced)
      block += entry + L'\0';
  }
  FreeEnvironmentStringsW(current);
  for (const auto& [name, value] : environment)
    if (value != kUnset)
      block += ToWide(name) + L"=" + ToWide(value) + L'\0';
  block += L'\0';

  std::wstring commandLine = L"\"" + ToWide(program) + L"\"";
  for (const auto& a : arguments)
    commandLine += L" \"" + ToWide(a) + L"\"";

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = out.get();
  startup.hStdError = err.get();
  if (!CreateProcessW(ToWide(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                      CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr, &startup,
                      &fNative->info)) {
    delete fNative;
    throw std::runtime_error("cannot start " + program);
  }
  fId = fNative->info.dwProcessId;
}

ChildProcess::~ChildProcess() {
  if (!fNative->exited) {
    TerminateProcess(fNative->info.hProcess, 255);
    WaitForSingleObject(fNative->info.hProcess, 5000);
  }
  CloseHandle(fNative->info.hThread);
  CloseHandle(fNative->info.hProcess);
  delete fNative;
}

bool ChildProcess::WaitForExit(int timeoutMs) {
  if (fNative->exited)
    return true;
  if (WaitForSingleObject(fNative->info.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
    return false;
  DWORD code = 0;
  GetExitCodeProcess(fNative->info.hProcess, &code);
  fExitCode = code;
  fNative->exited = true;
  return true;
}

void ChildProcess::RequestQuit(QuitRoute route) {
  if (route == QuitRoute::kThread) {
    PostThreadMessageW(fNative->info.dwThreadId, WM_QUIT, 0, 0);
    return;
  }
  if (HWND window = FindProcessWindow(fId, L"TApplication"))
    PostMessageW(window, WM_QUIT, 0, 0);
}

void ChildProcess::EndSession() {
  // Sent, not posted, as the system does; the child handles it when it takes messages.
  if (HWND window = FindProcessWindow(fId, L"TApplication"))
    SendNotifyMessageW(window, WM_ENDSESSION, 1, 0);
}

void ChildProcess::Kill() {
  if (!fNative->exited)
    TerminateProcess(fNative->info.hProcess, 255);
}

std::optional<std::string> ChildProcess::TakeBox(const std::string& title, int timeoutMs) {
  std::wstring wideTitle = ToWide(title);
  std::optional<std::string> taken;
  WaitUntil(
      [&] {
        if (HWND box = FindProcessWindow(fId, L"#32770", wideTitle.c_str())) {
          // The box is found while it is still being made: wait for its text.
          std::wstring text;
          EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
          if (!text.empty()) {
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            taken = ToUtf8(text.c_str());
            return true;
          }
        }
        return WaitForExit(0);
      },
      timeoutMs, 20);
  return taken;
}

std::optional<std::intptr_t> ChildProcess::SendToHiddenWindow(unsigned message,
                                                              std::uintptr_t wParam) {
  HWND window = FindProcessWindow(fId, L"TApplication");
  if (!window)
    return std::nullopt;
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, 0, SMTO_ABORTIFHUNG, 10000, &result))
    return std::nullopt;
  return static_cast<std::intptr_t>(result);
}

ChildProcess::WindowFacts ChildProcess::HiddenWindow() {
  WindowFacts facts;
  HWND window = FindProcessWindow(fId, L"TApplication");
  if (!window)
    return facts;
  facts.found = true;
  facts.visible = IsWindowVisible(window) != FALSE;
  facts.toolWindow = (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
  RECT r{};
  GetWindowRect(window, &r);
  facts.width = r.right - r.left;
  facts.height = r.bottom - r.top;
  return facts;
}

void CopyExecutable(const std::string& from, const std::string& to) {
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

std::string TestExecutableDir() {
  wchar_t buffer[MAX_PATH];
  DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  return fs::path(std::wstring(buffer, length)).parent_path().string();
}

std::string ExecutableName(const std::string& base) {
  return base + ".exe";
}

std::string AgentStderrWithoutSession() {
  // GetLastInputInfo needs no session of its own to be found, and the agent says nothing
  // of its one source on Windows.
  return "";
}

} // namespace testing_support
