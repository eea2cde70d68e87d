// The idle report and the idle query over the service's pipe.
#include "pipes/CommonIdlePipeU.h"

#include "common/Scheduler/Utils/InputHook.h"
#include "debug/Debugg.h"

#include <cstring>

namespace {

void PutWord(RPIPEMessage& message, size_t offset, std::uint32_t value) {
  std::memcpy(message.Data.data() + offset, &value, sizeof(value));
}

std::uint32_t WordAt(const RPIPEMessage& message, size_t offset) {
  std::uint32_t value;
  std::memcpy(&value, message.Data.data() + offset, sizeof(value));
  return value;
}

} // namespace

TCommonIdleTime QueryCommonIdleTime() {
  // A client of its own: the long-lived one of an idle client is left alone.
  TPipeClient client(kCommonIdlePipeName);
  RPIPEMessage request{};
  request.Msg = kIdleQueryMessage;
  RPIPEMessage reply = client.SendMessage(request);
  return {WordAt(reply, 0), WordAt(reply, 4)};
}

TCommonIdleClient::TCommonIdleClient() : fClient(kCommonIdlePipeName) {}

void TCommonIdleClient::SendIdleTime() {
  DebugTrace(u"SchedulerAgent: TCommonIdleClient.SendIdleTime");
  if (!fClient.ServerPresent()) {
    DebugTrace(u"SchedulerAgent: TCommonIdleClient.SendIdleTime - No Common Idle Server");
    return;
  }
  DebugTrace(u"SchedulerAgent: TCommonIdleClient.SendIdleTime");
  // Seconds first, then minutes: two readings, as the service expects.
  std::uint32_t seconds = GetInputIdleSeconds();
  std::uint32_t minutes = GetInputIdleMinutes();
  RPIPEMessage report{};
  report.Msg = kIdleReportMessage;
  report.Size = kPipeMessageSize;
  PutWord(report, 0, seconds);
  PutWord(report, 4, minutes);
  fClient.SendMessage(report);
}

std::uint32_t TCommonIdleClient::CommonIdleSeconds() {
  return QueryCommonIdleTime().Seconds;
}

std::uint32_t TCommonIdleClient::CommonIdleMinutes() {
  return QueryCommonIdleTime().Minutes;
}
