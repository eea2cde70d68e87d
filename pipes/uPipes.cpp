// The named-pipe client: whole-record transactions over the platform's pipe.
#include "pipes/uPipes.h"

#include "framework/SysUtils.h"
#include "platform/named_event.h"
#include "platform/named_pipe.h"

#include <span>

namespace {

constexpr std::uint32_t kInstanceWaitMs = 10;
constexpr std::uint32_t kPresenceWaitMs = 1;

std::span<std::uint8_t> BytesOf(RPIPEMessage& message) {
  return {reinterpret_cast<std::uint8_t*>(&message), sizeof(message)};
}

// The caller's record, copied, with the one size every record goes out with.
RPIPEMessage RequestOf(const RPIPEMessage& message) {
  RPIPEMessage request = message;
  request.Size = kPipeMessageSize;
  return request;
}

// The whole reply is cleared, header and alignment bytes too: a short reply must not
// hand back whatever the stack held.
RPIPEMessage EmptyReply() {
  RPIPEMessage reply{};
  reply.Size = kPipeMessageSize;
  return reply;
}

} // namespace

TPipeClient::TPipeClient(const std::u16string& aPipe)
    : FPipeName(Format(u"\\\\%s\\pipe\\%s", {u".", aPipe})),
      fEventName(Format(u"event%s", {aPipe})) {}

RPIPEMessage TPipeClient::SendMessage(const RPIPEMessage& AMessage) {
  RPIPEMessage request = RequestOf(AMessage);
  RPIPEMessage reply = EmptyReply();
  platform::PipeOutcome wait = platform::WaitForPipeInstance(FPipeName, kInstanceWaitMs);
  if (!wait.ok)
    throw XExceptionPipeDoesNotExists(u"PIPE does not exist. " + SysErrorMessage(wait.errorCode));
  platform::PipeOutcome call =
      platform::CallPipe(FPipeName, BytesOf(request), BytesOf(reply), platform::kPipeNoWait);
  if (!call.ok)
    throw XExceptionPipeNotRespond(u"PIPE did not respond. " + SysErrorMessage(call.errorCode));
  reply.Size = call.bytesRead;
  return reply;
}

void TPipeClient::PostMessage(const RPIPEMessage& AMessage) {
  RPIPEMessage request = RequestOf(AMessage);
  RPIPEMessage reply = EmptyReply();
  if (!platform::WaitForPipeInstance(FPipeName, kInstanceWaitMs).ok)
    throw XExceptionPipeDoesNotExists(u"PIPE does not exist.");
  // Posting does not tell whether the transaction succeeded.
  platform::CallPipe(FPipeName, BytesOf(request), BytesOf(reply), platform::kPipeNoWait);
}

bool TPipeClient::ServerPresent() {
  return platform::WaitForPipeInstance(FPipeName, kPresenceWaitMs).ok;
}

bool TPipeClient::WaitForServer(std::uint32_t ATimeOut) {
  // The event lives only for this call; its name is created if no server made it yet.
  std::unique_ptr<platform::NamedEvent> event = platform::NamedEvent::Open(fEventName);
  return event && event->Wait(ATimeOut);
}
