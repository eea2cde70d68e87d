// The reference idle service's session table, its protocol checks and its serving loop.
#include "tools/idle_service/IdleService.h"

#include "framework/SysUtils.h"
#include "platform/error_text.h"
#include "platform/pipe_server.h"
#include "text/TextConvert.h"

#include <chrono>
#include <cstring>

namespace idleservice {

namespace {

constexpr std::size_t kRecordSize = 8224;
constexpr std::size_t kDataOffset = 28;
constexpr std::uint32_t kIdleReport = 1;
constexpr std::uint32_t kIdleQuery = 2;

std::uint32_t WordAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  std::uint32_t value;
  std::memcpy(&value, bytes.data() + offset, sizeof(value));
  return value;
}

void PutWord(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
  std::memcpy(bytes.data() + offset, &value, sizeof(value));
}

/// A whole record, cleared, answering the request's code with Result 0.
std::vector<std::uint8_t> ReplyFor(std::uint32_t msg) {
  std::vector<std::uint8_t> reply(kRecordSize, 0);
  PutWord(reply, 0, kRecordSize);
  PutWord(reply, 4, msg);
  return reply;
}

std::string Describe(const IdleTime& idle) {
  return std::to_string(idle.seconds) + " s " + std::to_string(idle.minutes) + " min";
}

std::uint64_t NowMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

} // namespace

Outcome IdleSessions::Handle(const std::string& session, const std::vector<std::uint8_t>& request,
                             std::uint64_t nowMs) {
  Outcome outcome = Answer(session, request, nowMs);
  if (!outcome.reply)
    ++fIgnoredTotal;
  return outcome;
}

Outcome IdleSessions::Answer(const std::string& session, const std::vector<std::uint8_t>& request,
                             std::uint64_t nowMs) {
  std::string from = "ignored request from " + session + ": ";
  if (request.size() != kRecordSize)
    return {std::nullopt, from + std::to_string(request.size()) + " bytes, not 8224"};
  if (WordAt(request, 0) != kRecordSize)
    return {std::nullopt, from + "Size field " + std::to_string(WordAt(request, 0)) + ", not 8224"};
  std::uint32_t msg = WordAt(request, 4);
  if (msg == kIdleReport) {
    IdleTime idle{WordAt(request, kDataOffset), WordAt(request, kDataOffset + 4)};
    fReports[session] = Report{idle, nowMs};
    ++fReportCounts[session];
    ++fReportTotal;
    return {ReplyFor(msg), {}};
  }
  if (msg == kIdleQuery) {
    ++fQueryTotal;
    DropStale(nowMs);
    std::vector<std::uint8_t> reply = ReplyFor(msg);
    // With no session reporting there is no idle user to speak of: 0 is the answer
    // that never lets work start on a machine someone may be using.
    IdleTime common = CommonIdle().value_or(IdleTime{});
    PutWord(reply, kDataOffset, common.seconds);
    PutWord(reply, kDataOffset + 4, common.minutes);
    return {std::move(reply), {}};
  }
  return {std::nullopt, from + "unknown message code " + std::to_string(msg)};
}

void IdleSessions::DropStale(std::uint64_t nowMs) {
  for (auto it = fReports.begin(); it != fReports.end();) {
    if (nowMs - it->second.receivedMs > kReportLifetimeMs)
      it = fReports.erase(it);
    else
      ++it;
  }
}

std::optional<IdleTime> IdleSessions::CommonIdle() const {
  std::optional<IdleTime> smallest;
  // The session idle the shortest has the user nearest to the keyboard.
  for (const auto& [session, report] : fReports)
    if (!smallest || report.idle.seconds < smallest->seconds)
      smallest = report.idle;
  return smallest;
}

std::string IdleSessions::StatusLine() const {
  std::optional<IdleTime> common = CommonIdle();
  if (!common)
    return "no session reporting";
  std::string line = "common " + Describe(*common);
  for (const auto& [session, report] : fReports)
    line += " | " + session + ": " + Describe(report.idle);
  return line;
}

std::string IdleSessions::Summary() const {
  std::string text = "served " + std::to_string(fReportTotal) + " reports, " +
                     std::to_string(fQueryTotal) + " queries, " + std::to_string(fIgnoredTotal) +
                     " ignored";
  for (const auto& [session, count] : fReportCounts)
    text += "\nreports from " + session + ": " + std::to_string(count);
  return text;
}

int Run(const std::u16string& pipeName, std::ostream& out,
        const std::function<bool()>& stopRequested, const std::function<void()>& ready) {
  std::unique_ptr<platform::PipeServer> server = platform::PipeServer::Create(pipeName);
  if (!server) {
    out << "cannot serve pipe " << Utf16ToUtf8(pipeName) << ": "
        << Utf16ToUtf8(SysErrorMessage(platform::LastErrorCode())) << std::endl;
    return 1;
  }
  out << "listening on \\\\.\\pipe\\" << Utf16ToUtf8(pipeName) << std::endl;
  ready();
  IdleSessions sessions;
  std::string shown;
  std::vector<std::uint8_t> request;
  while (!stopRequested()) {
    if (std::unique_ptr<platform::PipeConnection> connection = server->Accept(100)) {
      // Presence probes connect and close without a word; they are no requests.
      if (connection->ReadRequest(request, 1000) && !request.empty()) {
        Outcome outcome = sessions.Handle(connection->PeerSession(), request, NowMs());
        if (outcome.reply)
          connection->WriteReply(*outcome.reply);
        else
          out << outcome.complaint << std::endl;
      }
    }
    sessions.DropStale(NowMs());
    std::string status = sessions.StatusLine();
    if (status != shown) {
      out << status << std::endl;
      shown = status;
    }
  }
  out << sessions.Summary() << std::endl;
  return 0;
}

} // namespace idleservice
