// Gathering the status and writing it out as text and as JSON.
#include "tools/status/AgentStatus.h"

#include "debug/TxtDebugg.h"
#include "framework/SysUtils.h"
#include "pipes/CommonIdlePipeU.h"
#include "platform/file_status.h"
#include "platform/module.h"
#include "platform/named_pipe.h"
#include "platform/session_processes.h"
#include "sa_version.h"
#include "text/TextConvert.h"
#include "tools/status/IdleStatus.h"

#include <chrono>
#include <cstdio>

namespace {

TServiceStatus AskService() {
  TServiceStatus service;
  TPipeClient client(kCommonIdlePipeName);
  service.Pipe = client.PipeName();
  service.Location = platform::PipeLocation(client.PipeName());
  // The agent's own test decides; a second probe only tells why it failed.
  service.Present = client.ServerPresent();
  if (!service.Present) {
    platform::PipeOutcome probe = platform::WaitForPipeInstance(client.PipeName(), 1);
    service.Error =
        probe.ok ? u"no instance was free within 1 ms" : SysErrorMessage(probe.errorCode);
    return service;
  }
  auto start = std::chrono::steady_clock::now();
  try {
    TCommonIdleTime common = QueryCommonIdleTime();
    service.CommonIdleSeconds = common.Seconds;
    service.CommonIdleMinutes = common.Minutes;
  } catch (const XPipeException& failure) {
    service.Error = failure.Message();
  }
  std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  service.ExchangeMs = took.count();
  return service;
}

TLogStatus DescribeLog(const std::vector<TAgentProcess>& agents) {
  TLogStatus log;
  // The running agent's folder is the one that counts; without one, this command is
  // installed beside the agent.
  std::u16string folder;
  if (!agents.empty() && !agents.front().Executable.empty()) {
    folder = ExtractFilePath(agents.front().Executable);
    log.BesideRunningAgent = true;
  } else {
    folder = ExtractFilePath(platform::OwnModuleFileName());
  }
  log.SwitchFile = folder + kLogSwitchFileName;
  log.SwitchFileFound = platform::FileExists(log.SwitchFile);
  log.Enabled = ReadLogSwitch(folder).LogEnabled;
  log.LogFile = folder + kLogFileName;
  log.LogFileExists = platform::FileExists(log.LogFile);
  return log;
}

std::u16string Number(std::uint64_t value) {
  return Utf8ToUtf16(std::to_string(value));
}

std::u16string Milliseconds(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%.2f", value);
  return Utf8ToUtf16(text);
}

const char16_t* ProblemText(TStatusExit problem) {
  switch (problem) {
  case kStatusNoIdleSource:
    return u"no idle source";
  case kStatusNoService:
    return u"no service";
  case kStatusNoAgent:
    return u"no agent in this session";
  default:
    return u"failed";
  }
}

std::u16string TextLine(const std::u16string& label, const std::u16string& value) {
  std::u16string line = label + u":";
  line.append(label.size() < 12 ? 12 - label.size() : 1, u' ');
  return line + value + u"\n";
}

/// A JSON string; everything outside printable ASCII as \u escapes of UTF-16 units.
std::u16string JsonString(const std::u16string& text) {
  static const char16_t kHex[] = u"0123456789abcdef";
  std::u16string quoted = u"\"";
  for (char16_t c : text) {
    if (c == u'"' || c == u'\\') {
      quoted += u'\\';
      quoted += c;
    } else if (c >= 0x20 && c < 0x7f) {
      quoted += c;
    } else {
      quoted += u"\\u";
      for (int shift = 12; shift >= 0; shift -= 4)
        quoted += kHex[(c >> shift) & 15];
    }
  }
  return quoted + u"\"";
}

std::u16string JsonBool(bool value) {
  return value ? u"true" : u"false";
}

std::u16string JsonNumber(const std::optional<std::uint32_t>& value) {
  return value ? Number(*value) : u"null";
}

/// Members in the given order, one a line at the depth given; "{...}" on one line at
/// depth -1, as in arrays.
using JsonMembers = std::vector<std::pair<const char16_t*, std::u16string>>;
std::u16string JsonObject(const JsonMembers& members, int depth = -1) {
  const std::u16string inner = depth < 0 ? u" " : u"\n" + std::u16string(2 * (depth + 1), u' ');
  const std::u16string outer = depth < 0 ? u"" : u"\n" + std::u16string(2 * depth, u' ');
  std::u16string object = u"{";
  for (size_t i = 0; i < members.size(); ++i)
    object += (i ? u"," : u"") + inner + JsonString(members[i].first) + u": " + members[i].second;
  return object + (depth < 0 ? u" }" : outer + u"}");
}

std::u16string JsonArray(const std::vector<std::u16string>& items) {
  std::u16string array = u"[";
  for (size_t i = 0; i < items.size(); ++i)
    array += (i ? u", " : u"") + items[i];
  return array + u"]";
}

} // namespace

TStatus CollectStatus() {
  TStatus status;
  status.Version = u"" SA_VERSION_STRING;
  status.Idle = ReadIdleStatus();
  status.Service = AskService();
  for (const platform::SessionProcess& process : platform::FindSessionProcesses(u"SchedulerAgent"))
    status.Agents.push_back({process.id, process.executable});
  status.Log = DescribeLog(status.Agents);
  return status;
}

std::vector<TStatusExit> StatusProblems(const TStatus& status) {
  std::vector<TStatusExit> problems;
  if (status.Idle.Source == u"none")
    problems.push_back(kStatusNoIdleSource);
  if (!status.Service.CommonIdleSeconds)
    problems.push_back(kStatusNoService);
  if (status.Agents.empty())
    problems.push_back(kStatusNoAgent);
  return problems;
}

int StatusExitCode(const TStatus& status) {
  std::vector<TStatusExit> problems = StatusProblems(status);
  return problems.empty() ? kStatusAllWell : problems.front();
}

std::u16string StatusText(const TStatus& status) {
  std::u16string text = u"SchedulerAgent status " + status.Version + u"\n";

  const TIdleStatus& idle = status.Idle;
  text += TextLine(u"idle source",
                   idle.Failure.empty() ? idle.Source : idle.Source + u": " + idle.Failure);
  for (const TSkippedSource& skipped : idle.NotTaken)
    text += TextLine(u"  not taken", skipped.Source + u": " + skipped.Reason);
  std::u16string reading = Number(idle.Seconds) + u" s";
  if (idle.Source == u"none")
    reading += u" (what the agent reports without a source)";
  else if (idle.CountedFromStart)
    reading += u" (this source tells only of input since this command connected to it)";
  text += TextLine(u"idle time", reading);

  const TServiceStatus& service = status.Service;
  std::u16string answer;
  if (!service.Present)
    answer = u"no pipe: " + service.Error;
  else if (!service.CommonIdleSeconds)
    answer = u"no answer to the idle query: " + service.Error;
  else
    answer = u"common idle " + Number(*service.CommonIdleSeconds) + u" s, " +
             Number(*service.CommonIdleMinutes) + u" min (exchange " +
             Milliseconds(service.ExchangeMs) + u" ms)";
  text += TextLine(u"service", answer);
  std::u16string pipe = service.Pipe;
  if (service.Location != service.Pipe)
    pipe += u" at " + service.Location;
  text += TextLine(u"  pipe", pipe);

  if (status.Agents.empty()) {
    text += TextLine(u"agent", u"none in this session");
  } else {
    for (const TAgentProcess& agent : status.Agents)
      text += TextLine(u"agent", u"running, process " + Number(agent.Id) +
                                     (agent.Executable.empty() ? u"" : u": " + agent.Executable));
  }

  const TLogStatus& log = status.Log;
  std::u16string logLine = log.Enabled ? u"on, written to " + log.LogFile
                                       : u"off (would be written to " + log.LogFile + u")";
  text += TextLine(u"debug log", logLine);
  text += TextLine(u"  switch", log.SwitchFile + (log.SwitchFileFound ? u"" : u" (not there)") +
                                    (log.BesideRunningAgent ? u"" : u", beside this command"));

  std::vector<TStatusExit> problems = StatusProblems(status);
  std::u16string result = problems.empty() ? u"all well" : u"";
  for (TStatusExit problem : problems)
    result += (result.empty() ? u"" : u"; ") + std::u16string(ProblemText(problem));
  if (!problems.empty())
    result += u" (exit code " + Number(static_cast<unsigned>(problems.front())) + u")";
  text += TextLine(u"status", result);
  return text;
}

std::u16string StatusJson(const TStatus& status) {
  const TIdleStatus& idle = status.Idle;
  std::vector<std::u16string> notTaken;
  for (const TSkippedSource& skipped : idle.NotTaken)
    notTaken.push_back(JsonObject(
        {{u"source", JsonString(skipped.Source)}, {u"reason", JsonString(skipped.Reason)}}));

  const TServiceStatus& service = status.Service;
  const std::u16string null = u"null";

  const bool running = !status.Agents.empty();
  std::vector<std::u16string> pids;
  for (const TAgentProcess& agent : status.Agents)
    pids.push_back(Number(agent.Id));

  const TLogStatus& log = status.Log;
  std::vector<std::u16string> problems;
  for (TStatusExit problem : StatusProblems(status))
    problems.push_back(JsonString(ProblemText(problem)));

  return JsonObject(
             {{u"version", JsonString(status.Version)},
              {u"idle", JsonObject({{u"source", JsonString(idle.Source)},
                                    {u"not_taken", JsonArray(notTaken)},
                                    {u"failure", JsonString(idle.Failure)},
                                    {u"seconds", Number(idle.Seconds)},
                                    {u"counted_from_start", JsonBool(idle.CountedFromStart)}},
                                   1)},
              {u"service",
               JsonObject(
                   {{u"pipe", JsonString(service.Pipe)},
                    {u"location", JsonString(service.Location)},
                    {u"present", JsonBool(service.Present)},
                    {u"common_idle_seconds", JsonNumber(service.CommonIdleSeconds)},
                    {u"common_idle_minutes", JsonNumber(service.CommonIdleMinutes)},
                    {u"exchange_ms", service.Present ? Milliseconds(service.ExchangeMs) : null},
                    {u"error", JsonString(service.Error)}},
                   1)},
              {u"agent",
               JsonObject(
                   {{u"running", JsonBool(running)},
                    {u"pid", running ? Number(status.Agents.front().Id) : null},
                    {u"executable", running ? JsonString(status.Agents.front().Executable) : null},
                    {u"pids", JsonArray(pids)}},
                   1)},
              {u"debug_log",
               JsonObject({{u"enabled", JsonBool(log.Enabled)},
                           {u"file", JsonString(log.LogFile)},
                           {u"file_exists", JsonBool(log.LogFileExists)},
                           {u"switch_file", JsonString(log.SwitchFile)},
                           {u"switch_file_found", JsonBool(log.SwitchFileFound)},
                           {u"beside_running_agent", JsonBool(log.BesideRunningAgent)}},
                          1)},
              {u"problems", JsonArray(problems)},
              {u"exit_code", Number(static_cast<unsigned>(StatusExitCode(status)))}},
             0) +
         u"\n";
}
