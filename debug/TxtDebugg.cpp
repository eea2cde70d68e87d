// The debug log writer, its set-up from the switch file, and the entry format.
#include "debug/TxtDebugg.h"

#include "debug/Debugg.h"
#include "framework/IniFile.h"
#include "framework/SysUtils.h"
#include "platform/ansi_code_page.h"
#include "platform/file_status.h"
#include "platform/log_file.h"
#include "platform/module.h"

namespace {

/// What the unit holds: the log's name, the switch, whether the next entry is the run's
/// first, the clock, and the last second's time stamp.
struct TTxtDebuggState {
  std::u16string FLogFileName;
  bool FLogEnabled = false;
  bool FFirstEntry = true;
  TLogClock Clock = nullptr;
  platform::LocalTime lastTime;
  std::u16string lastStamp;
};

TTxtDebuggState& LogState() {
  static TTxtDebuggState state;
  return state;
}

bool IsBreak(char16_t c) {
  return c == u'\r' || c == u'\n';
}

bool SameSecond(const platform::LocalTime& a, const platform::LocalTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second;
}

bool IsMidnight(const platform::LocalTime& t) {
  return t.hour == 0 && t.minute == 0 && t.second == 0 && t.milliseconds == 0;
}

/// The short date, then the long time unless it is exactly midnight. The main loop
/// writes several entries a second: the last second's stamp is kept.
std::u16string TimeStamp() {
  TTxtDebuggState& state = LogState();
  platform::LocalTime now = state.Clock ? state.Clock() : platform::CurrentLocalTime();
  if (state.lastStamp.empty() || !SameSecond(now, state.lastTime) || IsMidnight(now) ||
      IsMidnight(state.lastTime)) {
    state.lastStamp = platform::FormatShortDate(now);
    if (!IsMidnight(now)) {
      state.lastStamp += u' ';
      state.lastStamp += platform::FormatLongTime(now);
    }
    state.lastTime = now;
  }
  return state.lastStamp;
}

/// One entry, written with one call while the log is held; false when it was not
/// written completely.
bool WriteEntry(const std::u16string& text) {
  TTxtDebuggState& state = LogState();
  if (state.FLogFileName.size() > kMaxLogPathLength)
    return false;
  auto file = platform::SharedLogFile::OpenForAppend(state.FLogFileName);
  // Creating never replaces: a log that exists but could not be opened (held by
  // another agent, not writable) keeps its contents and this entry is dropped.
  if (!file)
    file = platform::SharedLogFile::CreateNew(state.FLogFileName);
  if (!file)
    return false;
  std::u16string entry;
  if (state.FFirstEntry)
    entry += u"\r\n\r\n";
  entry += FormatLogText(TimeStamp() + u" : ", text);
  entry += u"\r\n";
  if (state.FFirstEntry)
    entry += u"\r\n";
  bool written = file->Write(platform::ToAnsiCodePage(entry));
  return file->Close() && written;
}

std::u16string ExecutableFolder() {
  return ExtractFilePath(platform::OwnModuleFileName());
}

} // namespace

std::u16string FormatLogText(const std::u16string& prefix, const std::u16string& text) {
  if (text.find(u'\r') == std::u16string::npos)
    return prefix + text;
  std::u16string result = prefix;
  result.reserve(prefix.size() + text.size() * 2);
  bool afterBreak = false;
  for (char16_t c : text) {
    if (IsBreak(c)) {
      afterBreak = true;
    } else if (afterBreak) {
      result.append(prefix.size(), u' ');
      afterBreak = false;
    }
    result += c;
  }
  return result;
}

void WriteLogEntry(const std::u16string& text) {
  if (!LogState().FLogEnabled)
    return;
  try {
    if (WriteEntry(text))
      LogState().FFirstEntry = false;
  } catch (...) {
    // Logging never fails towards the traced code: the entry is dropped and the file
    // is already closed; the next entry starts afresh.
  }
}

TLogSwitch ReadLogSwitch(const std::u16string& folder) {
  TLogSwitch logSwitch;
  const std::u16string iniName = folder + kLogSwitchFileName;
  if (iniName.size() <= kMaxLogPathLength && platform::FileExists(iniName)) {
    TIniFile ini(iniName);
    logSwitch.LogEnabled = ini.ReadBool(u"settings", u"DebuggLog", false);
    for (const std::u16string& name : ini.ReadSection(u"defines"))
      if (ini.ReadBool(u"defines", name, false))
        logSwitch.Defines.push_back(name);
  }
  return logSwitch;
}

void SetupDebuggLogIn(const std::u16string& folder) {
  TTxtDebuggState& state = LogState();
  state.FLogFileName = folder + kLogFileName;
  SetTraceListener(WriteLogEntry);
  state.FFirstEntry = true;
  TLogSwitch logSwitch = ReadLogSwitch(folder);
  state.FLogEnabled = logSwitch.LogEnabled;
  for (const std::u16string& name : logSwitch.Defines)
    AddDefine(name);
  DebugTrace(u"Debugg logging started.");
}

void SetupDebuggLog() {
  SetupDebuggLogIn(ExecutableFolder());
}

void InitTxtDebugg() {
  SetupDebuggLog();
  DebugTrace(u"Program started.");
}

void DoneTxtDebugg() {
  LogState().FLogFileName.clear();
}

void SetLogClock(TLogClock clock) {
  LogState().Clock = clock;
}

const std::u16string& LogFileName() {
  return LogState().FLogFileName;
}

bool LogEnabled() {
  return LogState().FLogEnabled;
}

bool FirstEntry() {
  return LogState().FFirstEntry;
}
