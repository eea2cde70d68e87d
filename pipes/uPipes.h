// The pipe message record, the named-pipe client and the pipe layer's failures.
#pragma once

#include "framework/Exception.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

/// The payload: 8 KiB plus one byte, opaque to the pipe layer.
using TRawData = std::array<std::uint8_t, 8193>;

/// The one unit of exchange on the pipe, travelling as its memory image.
struct RPIPEMessage {
  std::uint32_t Size;
  std::uint32_t Msg;
  std::uint32_t Flags;
  std::uint32_t Reserved0;
  std::uint32_t Reserved1;
  std::uint32_t Reserved2;
  std::uint32_t Result;
  TRawData Data;
  /// The three bytes that round the record up to a multiple of four. Named, so that
  /// clearing or copying a record covers them like every other byte.
  std::array<std::uint8_t, 3> Alignment;
};

static_assert(sizeof(RPIPEMessage) == 8224, "the service expects 8224-byte records");
static_assert(offsetof(RPIPEMessage, Data) == 28, "the payload follows the seven header words");
static_assert(alignof(RPIPEMessage) == 4);
// No padding, so a value-initialised record (RPIPEMessage{}) has every byte cleared and
// a copy carries every byte.
static_assert(std::has_unique_object_representations_v<RPIPEMessage>,
              "no padding: every byte of the record is a defined value");

constexpr std::uint32_t kPipeMessageSize = sizeof(RPIPEMessage);

SA_DECLARE_EXCEPTION(XPipeException, Exception);
/// No pipe instance could be had.
SA_DECLARE_EXCEPTION(XExceptionPipeDoesNotExists, XPipeException);
/// The transaction itself failed.
SA_DECLARE_EXCEPTION(XExceptionPipeNotRespond, XPipeException);

/// The agent's side of a local named pipe: one record out, one back, per call.
class TPipeClient {
public:
  /// aPipe is the short pipe name, without backslashes. Opens nothing.
  explicit TPipeClient(const std::u16string& aPipe);

  /// One request/reply transaction; the caller's record is not changed. The reply's
  /// Size holds the number of bytes received, bytes past them are zero.
  RPIPEMessage SendMessage(const RPIPEMessage& AMessage);

  /// The same transaction with its outcome not reported; raises only when no
  /// instance is available.
  void PostMessage(const RPIPEMessage& AMessage);

  /// Whether an instance of the pipe is free within 1 ms. Never raises.
  bool ServerPresent();

  /// Waits up to ATimeOut ms for the server-ready event; true when it was signalled,
  /// which consumes the signal.
  bool WaitForServer(std::uint32_t ATimeOut);

  const std::u16string& PipeName() const { return FPipeName; }
  const std::u16string& EventName() const { return fEventName; }

private:
  std::u16string FPipeName;
  std::u16string fEventName;
};
