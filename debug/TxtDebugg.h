// The debug log: trace texts become time-stamped lines of "Debugg.log" beside the
// executable, when "MKLOG.INI" there switches logging on.
#pragma once

#include "platform/local_time.h"

#include <string>
#include <vector>

/// The switch file and the log, both beside the executable.
inline constexpr const char16_t* kLogSwitchFileName = u"MKLOG.INI";
inline constexpr const char16_t* kLogFileName = u"Debugg.log";

/// What a switch file turns on: the log, and the defines in file order.
struct TLogSwitch {
  bool LogEnabled = false;
  std::vector<std::u16string> Defines;
};

/// Reads "MKLOG.INI" in the folder (given with its trailing separator) as the set-up
/// does; everything is off without the file. Changes nothing.
TLogSwitch ReadLogSwitch(const std::u16string& folder);

/// Installs WriteLogEntry as the trace listener, reads "MKLOG.INI" beside the executable
/// (the switch and the defines) and traces "Debugg logging started.".
void SetupDebuggLog();

/// The trace listener: appends one entry when logging is on. Never fails: an entry
/// that cannot be written is dropped.
void WriteLogEntry(const std::u16string& text);

/// The entry line without its line end. When the text holds a CR, each line after a
/// break is indented by the prefix's length so that it lines up under the text.
std::u16string FormatLogText(const std::u16string& prefix, const std::u16string& text);

/// Unit start: SetupDebuggLog, then the trace "Program started.".
void InitTxtDebugg();

/// Unit end: forgets the log's name; the listener stays installed.
void DoneTxtDebugg();

/// Longest file name the log and the switch file may have. A longer log name drops
/// every entry, a longer switch file name reads as no switch file: neither is ever
/// shortened to a name that fits.
constexpr size_t kMaxLogPathLength = 259;

// For tests: the set-up in a folder of their own (with its trailing separator), as at
// the start of a run, and a clock of their own (null: the platform's local time).
void SetupDebuggLogIn(const std::u16string& folder);
using TLogClock = platform::LocalTime (*)();
void SetLogClock(TLogClock clock);
const std::u16string& LogFileName();
bool LogEnabled();
bool FirstEntry();
