// The last input time from the X server: the SYNC extension's IDLETIME counter, with two
// alarms that tell when the user has been idle a second and when input came back, read
// from the connection without waiting; where the server lacks the counter, the
// MIT-SCREEN-SAVER extension's idle time is asked at each reading instead. The X protocol
// is spoken through libxcb.so.1, opened at run time: every request waits for its answer
// within a time-out, and a lost connection is a state of the connection, not a jump.
#include "platform/posix/idle_source_posix.h"
#include "platform/posix/pipe_path_posix.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/uio.h>

namespace platform::posix {
namespace {

// The libxcb types the calls need, spelled out here so that building needs no X headers.
struct xcb_connection_t;
struct xcb_protocol_request_t {
  size_t count; // iovecs of the request after the two the library keeps for itself
  void* ext;    // null: the request's first byte is the opcode given here
  std::uint8_t opcode;
  std::uint8_t isvoid;
};
struct xcb_screen_iterator_t {
  const std::uint32_t* data; // the screen; its root window comes first
  int rem;
  int index;
};
constexpr int kRequestChecked = 1;

// Core and extension numbers of the X protocol.
constexpr std::uint8_t kQueryExtension = 98;
constexpr std::uint8_t kSyncInitialize = 0;
constexpr std::uint8_t kSyncListSystemCounters = 1;
constexpr std::uint8_t kSyncQueryCounter = 5;
constexpr std::uint8_t kSyncCreateAlarm = 8;
constexpr std::uint8_t kSyncAlarmNotify = 1; // after the extension's first event
constexpr std::uint32_t kAlarmCounter = 1u << 0, kAlarmValueType = 1u << 1, kAlarmValue = 1u << 2,
                        kAlarmTestType = 1u << 3, kAlarmDelta = 1u << 4, kAlarmEvents = 1u << 5;
constexpr std::uint32_t kAbsolute = 0;
constexpr std::uint32_t kPositiveTransition = 0, kNegativeTransition = 1;
constexpr std::uint8_t kScreenSaverQueryInfo = 1;

// A server answers within milliseconds; the start allows for one still bringing the
// session up. A reading must not hold up the agent's cycle.
constexpr int kStartTimeoutMs = 5000;
constexpr int kReadingTimeoutMs = 25;

/// The calls the source makes.
struct XcbFunctions {
  xcb_connection_t* (*connect)(const char*, int*);
  int (*hasError)(xcb_connection_t*);
  void (*disconnect)(xcb_connection_t*);
  int (*getFileDescriptor)(xcb_connection_t*);
  int (*flush)(xcb_connection_t*);
  std::uint32_t (*generateId)(xcb_connection_t*);
  const void* (*getSetup)(xcb_connection_t*);
  xcb_screen_iterator_t (*rootsIterator)(const void*);
  void (*screenNext)(xcb_screen_iterator_t*);
  unsigned int (*sendRequest)(xcb_connection_t*, int, iovec*, const xcb_protocol_request_t*);
  int (*pollForReply)(xcb_connection_t*, unsigned int, void**, void**);
  void (*discardReply)(xcb_connection_t*, unsigned int);
  std::uint8_t* (*pollForEvent)(xcb_connection_t*);
  std::uint8_t* (*pollForQueuedEvent)(xcb_connection_t*);
};

/// Finds every function; the name of the first the library lacks, or null.
const char* FindFunctions(const SharedLibrary& library, XcbFunctions& xcb) {
  const char* missing = nullptr;
  library.FindInto(xcb.connect, "xcb_connect", missing);
  library.FindInto(xcb.hasError, "xcb_connection_has_error", missing);
  library.FindInto(xcb.disconnect, "xcb_disconnect", missing);
  library.FindInto(xcb.getFileDescriptor, "xcb_get_file_descriptor", missing);
  library.FindInto(xcb.flush, "xcb_flush", missing);
  library.FindInto(xcb.generateId, "xcb_generate_id", missing);
  library.FindInto(xcb.getSetup, "xcb_get_setup", missing);
  library.FindInto(xcb.rootsIterator, "xcb_setup_roots_iterator", missing);
  library.FindInto(xcb.screenNext, "xcb_screen_next", missing);
  library.FindInto(xcb.sendRequest, "xcb_send_request", missing);
  library.FindInto(xcb.pollForReply, "xcb_poll_for_reply", missing);
  library.FindInto(xcb.discardReply, "xcb_discard_reply", missing);
  library.FindInto(xcb.pollForEvent, "xcb_poll_for_event", missing);
  library.FindInto(xcb.pollForQueuedEvent, "xcb_poll_for_queued_event", missing);
  return missing;
}

/// A request's bytes, in the byte order of this machine as the protocol allows. The
/// source's requests are all short.
class Request {
public:
  /// `opcode` goes into the first byte; `minor`, an extension's request, into the second.
  Request(std::uint8_t opcode, std::uint8_t minor) : opcode_(opcode) { bytes_[1] = minor; }
  Request& Card32(std::uint32_t value) { return Bytes(&value, 4); }
  Request& Card16(std::uint16_t value) { return Bytes(&value, 2); }
  Request& Bytes(const void* data, size_t size) {
    size = std::min(size, bytes_.size() - size_);
    std::memcpy(bytes_.data() + size_, data, size);
    size_ += size;
    return *this;
  }
  /// A 64-bit value as the protocol gives it: the high half (signed), then the low.
  Request& Int64(std::int64_t value) {
    return Card32(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value) >> 32))
        .Card32(static_cast<std::uint32_t>(value));
  }
  std::uint8_t Opcode() const { return opcode_; }
  /// The bytes, padded to whole four-byte units.
  iovec Padded() { return {bytes_.data(), (size_ + 3) & ~size_t{3}}; }

private:
  std::uint8_t opcode_;
  std::array<std::uint8_t, 64> bytes_{}; // zero: the padding
  size_t size_ = 4;                      // the header: opcodes and length
};

/// A reply, freed when the scope ends.
class Reply {
public:
  explicit Reply(void* reply = nullptr) : reply_(static_cast<std::uint8_t*>(reply)) {}
  Reply(const Reply&) = delete;
  Reply& operator=(const Reply&) = delete;
  Reply(Reply&& other) noexcept : reply_(other.reply_) { other.reply_ = nullptr; }
  ~Reply() { std::free(reply_); }
  explicit operator bool() const { return reply_ != nullptr; }
  std::uint8_t Card8(size_t at) const { return reply_[at]; }
  std::uint16_t Card16(size_t at) const {
    std::uint16_t value;
    std::memcpy(&value, reply_ + at, 2);
    return value;
  }
  std::uint32_t Card32(size_t at) const {
    std::uint32_t value;
    std::memcpy(&value, reply_ + at, 4);
    return value;
  }
  std::int64_t Int64(size_t at) const {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(Card32(at)) << 32) |
                                     Card32(at + 4));
  }
  const std::uint8_t* Data(size_t at) const { return reply_ + at; }

private:
  std::uint8_t* reply_;
};

class XLastInput : public LastInputSource {
public:
  static constexpr const char* kLibrary = "libxcb.so.1";
  using Functions = XcbFunctions;

  XLastInput(SharedLibrary library, const XcbFunctions& xcb)
      : library_(std::move(library)), xcb_(xcb) {}

  ~XLastInput() override {
    // Frees the connection whether or not the server is still there; the server frees
    // the alarms with it.
    if (connection_)
      xcb_.disconnect(connection_);
  }

  /// Opens the one connection the source keeps and sets the alarms, or finds the
  /// screen saver's idle time where the server has no IDLETIME counter.
  bool Connect(const std::string& display, std::string& whyNot) {
    int screen = 0;
    connection_ = xcb_.connect(display.c_str(), &screen);
    if (!connection_ || xcb_.hasError(connection_)) {
      whyNot = "cannot open the X display \"" + display + "\"";
      return false;
    }
    xcb_screen_iterator_t roots = xcb_.rootsIterator(xcb_.getSetup(connection_));
    for (int i = 0; i < screen && roots.rem > 0; ++i)
      xcb_.screenNext(&roots);
    if (roots.rem <= 0) {
      whyNot = "the X display \"" + display + "\" has no screen " + std::to_string(screen);
      return false;
    }
    rootWindow_ = roots.data[0];

    bool timedOut = false;
    if (FindIdleCounter(timedOut))
      return SetAlarms(display, whyNot);
    if (!timedOut && FindExtension("MIT-SCREEN-SAVER", screenSaverOpcode_, timedOut) &&
        QueryScreenSaver(kStartTimeoutMs, timedOut))
      return true;
    if (timedOut || xcb_.hasError(connection_))
      whyNot = "the X display \"" + display + "\" did not answer within " +
               std::to_string(kStartTimeoutMs / 1000) + " s";
    else
      whyNot = "the X display \"" + display +
               "\" has neither the SYNC extension's IDLETIME counter nor the MIT-SCREEN-SAVER "
               "extension";
    return false;
  }

  bool FindLastInputFunction() override { return true; }

  const char* Name() const override { return "x11"; }

  LastInputQuery LastInputTick(std::uint32_t& tick) override {
    if (!idleCounter_) {
      bool timedOut = false;
      std::optional<std::uint32_t> idle = QueryScreenSaver(kReadingTimeoutMs, timedOut);
      if (xcb_.hasError(connection_))
        return LastInputQuery::kSessionGone;
      if (!idle)
        return LastInputQuery::kFailed;
      tick = TickCount() - *idle;
      return LastInputQuery::kAnswered;
    }
    // Takes the alarms' events already sent, without waiting.
    while (std::uint8_t* event = xcb_.pollForEvent(connection_)) {
      Reply owned(event);
      if ((owned.Card8(0) & 0x7f) != syncFirstEvent_ + kSyncAlarmNotify)
        continue; // an error of a request that needs no answer, or another event
      std::uint32_t alarm = owned.Card32(4);
      if (alarm == idleAlarm_) {
        // Stamped now, never earlier than it came; the counter's exact figure is asked
        // for and taken at a later reading.
        transitions_.Idled(TickCount());
        AskIdleCounter();
      } else if (alarm == inputAlarm_) {
        transitions_.Resumed(TickCount());
      }
    }
    TakeIdleCounter();
    if (xcb_.hasError(connection_))
      return LastInputQuery::kSessionGone;
    tick = transitions_.LastInputTick(TickCount());
    return LastInputQuery::kAnswered;
  }

  std::uint32_t TickCount() override { return BootTimeTick(); }

private:
  /// Sends the request; its sequence number, 0 when it could not be sent.
  unsigned int Send(Request& request, bool answered = true) {
    iovec parts[3] = {};
    parts[2] = request.Padded();
    xcb_protocol_request_t header{1, nullptr, request.Opcode(),
                                  static_cast<std::uint8_t>(answered ? 0 : 1)};
    return xcb_.sendRequest(connection_, answered ? kRequestChecked : 0, parts + 2, &header);
  }

  /// Sends the request and waits, within the time-out, for its answer: the reply, or
  /// none when the server answered with an error, did not answer in time, or is gone.
  Reply Ask(Request& request, int timeoutMs, bool& timedOut) {
    unsigned int sequence = Send(request);
    if (sequence == 0 || xcb_.flush(connection_) <= 0)
      return Reply();
    std::uint64_t deadline = MonotonicMs() + static_cast<std::uint64_t>(timeoutMs);
    for (;;) {
      void* reply = nullptr;
      void* error = nullptr;
      if (xcb_.pollForReply(connection_, sequence, &reply, &error)) {
        std::free(error);
        return Reply(reply);
      }
      if (xcb_.hasError(connection_))
        return Reply();
      std::uint64_t now = MonotonicMs();
      if (now >= deadline) {
        // The answer, if it ever comes, is dropped where it arrives.
        xcb_.discardReply(connection_, sequence);
        timedOut = true;
        return Reply();
      }
      pollfd waiting{xcb_.getFileDescriptor(connection_), POLLIN, 0};
      poll(&waiting, 1, static_cast<int>(deadline - now));
    }
  }

  bool FindExtension(const char* name, std::uint8_t& opcode, bool& timedOut,
                     std::uint8_t* firstEvent = nullptr) {
    auto length = static_cast<std::uint16_t>(std::strlen(name));
    Request request(kQueryExtension, 0);
    request.Card16(length).Card16(0).Bytes(name, length);
    Reply reply = Ask(request, kStartTimeoutMs, timedOut);
    if (!reply || !reply.Card8(8))
      return false;
    opcode = reply.Card8(9);
    if (firstEvent)
      *firstEvent = reply.Card8(10);
    return true;
  }

  /// Finds the SYNC extension and its IDLETIME counter.
  bool FindIdleCounter(bool& timedOut) {
    if (!FindExtension("SYNC", syncOpcode_, timedOut, &syncFirstEvent_))
      return false;
    Request initialize(syncOpcode_, kSyncInitialize);
    const std::uint8_t version[4] = {3, 1, 0, 0}; // 3.1, then padding
    initialize.Bytes(version, sizeof(version));
    if (!Ask(initialize, kStartTimeoutMs, timedOut))
      return false;
    Request list(syncOpcode_, kSyncListSystemCounters);
    Reply counters = Ask(list, kStartTimeoutMs, timedOut);
    if (!counters)
      return false;
    // Each counter: its id, its resolution (8 bytes), its name's length, the name,
    // padded to four bytes.
    size_t size = 32 + 4 * static_cast<size_t>(counters.Card32(4));
    size_t at = 32;
    for (std::uint32_t i = 0; i < counters.Card32(8) && at + 14 <= size; ++i) {
      std::uint16_t nameLength = counters.Card16(at + 12);
      if (at + 14 + nameLength > size)
        break;
      if (std::string(reinterpret_cast<const char*>(counters.Data(at + 14)), nameLength) ==
          "IDLETIME")
        idleCounter_ = counters.Card32(at);
      at += (14 + nameLength + 3) & ~size_t{3};
    }
    return idleCounter_ != 0;
  }

  /// One alarm on IDLETIME at `valueMs`, for the one direction of crossing it.
  void CreateAlarm(std::uint32_t alarm, std::uint32_t testType, std::int64_t valueMs) {
    Request request(syncOpcode_, kSyncCreateAlarm);
    request.Card32(alarm)
        .Card32(kAlarmCounter | kAlarmValueType | kAlarmValue | kAlarmTestType | kAlarmDelta |
                kAlarmEvents)
        .Card32(idleCounter_)
        .Card32(kAbsolute)
        .Int64(valueMs)
        .Card32(testType)
        .Int64(0) // no step: the alarm stays, and fires at every crossing
        .Card32(1);
    // No answer: an error would come as an event, and the counter's query below
    // follows it.
    Send(request, false);
  }

  /// Sends the counter's query without waiting for the answer.
  void AskIdleCounter() {
    if (idleQuery_)
      xcb_.discardReply(connection_, idleQuery_);
    Request query(syncOpcode_, kSyncQueryCounter);
    query.Card32(idleCounter_);
    idleQuery_ = Send(query);
    xcb_.flush(connection_);
  }

  /// Takes the counter's answer if it has come.
  void TakeIdleCounter() {
    void* reply = nullptr;
    void* error = nullptr;
    if (!idleQuery_ || !xcb_.pollForReply(connection_, idleQuery_, &reply, &error))
      return;
    idleQuery_ = 0;
    std::free(error);
    Reply value(reply);
    if (value)
      transitions_.Start(TickCount(), Clamped(value.Int64(8)));
  }

  static std::uint32_t Clamped(std::int64_t idle) {
    return idle < 0 ? 0 : idle > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(idle);
  }

  /// The counter's value now, asked and waited for within the start's time-out.
  Reply QueryIdleCounter(const std::string& display, std::string& whyNot) {
    Request query(syncOpcode_, kSyncQueryCounter);
    query.Card32(idleCounter_);
    bool timedOut = false;
    Reply value = Ask(query, kStartTimeoutMs, timedOut);
    if (!value)
      whyNot = "the X display \"" + display + "\" does not tell its IDLETIME counter" +
               (timedOut ? " within " + std::to_string(kStartTimeoutMs / 1000) + " s" : "");
    return value;
  }

  bool SetAlarms(const std::string& display, std::string& whyNot) {
    // The server compares a new alarm with the counter's value as it last took it: the
    // query brings that up to date first, so that no alarm fires for an old value.
    if (!QueryIdleCounter(display, whyNot))
      return false;
    idleAlarm_ = xcb_.generateId(connection_);
    inputAlarm_ = xcb_.generateId(connection_);
    CreateAlarm(idleAlarm_, kPositiveTransition, IdleTransitions::kThresholdMs);
    // Input takes the counter from at least the value the idle alarm left it at to 0;
    // an alarm at that very value would not count it as crossed.
    CreateAlarm(inputAlarm_, kNegativeTransition, IdleTransitions::kThresholdMs - 1);
    Reply value = QueryIdleCounter(display, whyNot);
    if (!value)
      return false;
    transitions_.Start(TickCount(), Clamped(value.Int64(8)));
    // What the alarms said on being set came before the answer and is in it already.
    while (std::uint8_t* event = xcb_.pollForQueuedEvent(connection_))
      std::free(event);
    return true;
  }

  /// The screen saver's idle time in milliseconds, or none.
  std::optional<std::uint32_t> QueryScreenSaver(int timeoutMs, bool& timedOut) {
    Request request(screenSaverOpcode_, kScreenSaverQueryInfo);
    request.Card32(rootWindow_);
    Reply info = Ask(request, timeoutMs, timedOut);
    if (!info)
      return std::nullopt;
    return info.Card32(16);
  }

  SharedLibrary library_;
  XcbFunctions xcb_;
  xcb_connection_t* connection_ = nullptr;
  std::uint32_t rootWindow_ = 0;
  std::uint8_t syncOpcode_ = 0;
  std::uint8_t syncFirstEvent_ = 0;
  std::uint8_t screenSaverOpcode_ = 0;
  std::uint32_t idleCounter_ = 0; // 0: the screen saver is asked instead
  std::uint32_t idleAlarm_ = 0;
  std::uint32_t inputAlarm_ = 0;
  unsigned int idleQuery_ = 0; // the counter's query sent at a reading, until answered
  IdleTransitions transitions_;
};

} // namespace

SourceAttempt OpenXIdleTime(const std::string& display) {
  return OpenSource<XLastInput>(display);
}

} // namespace platform::posix
