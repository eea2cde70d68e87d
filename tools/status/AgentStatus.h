// What an administrator asks of a session: the idle source the agent takes there and
// what it reads, whether the scheduler's service answers, whether an agent serves the
// session, and where its debug log goes. Gathered without sending an idle report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

/// Exit codes of the status command. Where several problems hold, the first of them in
/// this order is the code.
enum TStatusExit : int {
  kStatusAllWell = 0,
  kStatusFailed = 1,       // the command itself failed
  kStatusBadArguments = 2, // a command line it does not know
  kStatusNoIdleSource = 3, // the session offers the agent no idle time: it reports 0
  kStatusNoService = 4,    // no pipe, or the service did not answer the idle query
  kStatusNoAgent = 5,      // no agent runs in this session
};

struct TSkippedSource {
  std::u16string Source;
  std::u16string Reason;
};

struct TIdleStatus {
  std::u16string Source;                // "none" without one
  std::vector<TSkippedSource> NotTaken; // the sources tried before it, and why not
  std::u16string Failure;               // a source that fails the agent's start, or its reading
  std::uint32_t Seconds = 0;            // one reading, as the agent reads it
  /// The source tells only of input since it was connected: a reading right after the
  /// start cannot see how long the user was idle before.
  bool CountedFromStart = false;
};

struct TServiceStatus {
  std::u16string Pipe;     // "\\.\pipe\VSetCommonIdle"
  std::u16string Location; // where the system keeps it
  bool Present = false;    // an instance free within the agent's own 1 ms
  std::u16string Error;    // why it is not there, or why the query failed
  std::optional<std::uint32_t> CommonIdleSeconds, CommonIdleMinutes; // the query's answer
  double ExchangeMs = 0; // how long the query's exchange took
};

struct TAgentProcess {
  std::uint32_t Id = 0;
  std::u16string Executable; // empty when the system did not tell
};

struct TLogStatus {
  bool Enabled = false;
  std::u16string SwitchFile; // "MKLOG.INI" beside the agent
  bool SwitchFileFound = false;
  std::u16string LogFile; // "Debugg.log" beside it
  bool LogFileExists = false;
  bool BesideRunningAgent = false; // else beside this command, where the agent is installed
};

struct TStatus {
  std::u16string Version;
  TIdleStatus Idle;
  TServiceStatus Service;
  std::vector<TAgentProcess> Agents; // in this session, lowest process id first
  TLogStatus Log;
};

/// Asks everything once. Takes up to the agent's own time-outs: a second at most.
TStatus CollectStatus();

/// The problems that hold, in the order of their exit codes.
std::vector<TStatusExit> StatusProblems(const TStatus& status);
int StatusExitCode(const TStatus& status);

/// A few lines for people.
std::u16string StatusText(const TStatus& status);
/// The same as one JSON object, ASCII only (every other character escaped), so that no
/// console's code page can change it.
std::u16string StatusJson(const TStatus& status);
