// The test service's command line and its serving loop.
#include "tests/pipes/TestService.h"

#include "framework/SysUtils.h"
#include "platform/error_text.h"
#include "platform/pipe_server.h"
#include "platform/process.h"
#include "text/TextConvert.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <random>
#include <stdexcept>
#include <vector>

namespace testservice {

namespace {

std::uint32_t ParseNumber(const std::string& text, const std::string& what) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 9)
    throw std::invalid_argument("bad " + what + ": \"" + text + "\"");
  return static_cast<std::uint32_t>(std::stoul(text));
}

void ParseMode(const std::string& text, Options& options) {
  auto startsWith = [&](const char* prefix) { return text.rfind(prefix, 0) == 0; };
  if (text == "echo") {
    options.mode = Mode::Echo;
  } else if (text == "close") {
    options.mode = Mode::Close;
  } else if (text == "close-after-probe") {
    options.mode = Mode::CloseAfterProbe;
  } else if (startsWith("reply:")) {
    options.mode = Mode::Reply;
    options.replySize = ParseNumber(text.substr(6), "reply size");
  } else if (startsWith("delay:")) {
    options.mode = Mode::Delay;
    options.delayMs = ParseNumber(text.substr(6), "delay");
  } else if (startsWith("garbage:")) {
    options.mode = Mode::Garbage;
    options.seed = ParseNumber(text.substr(8), "seed");
  } else if (startsWith("query:")) {
    std::string values = text.substr(6);
    size_t comma = values.find(',');
    if (comma == std::string::npos)
      throw std::invalid_argument("query mode needs two values: query:S,M");
    options.mode = Mode::Query;
    options.querySeconds = ParseNumber(values.substr(0, comma), "query seconds");
    options.queryMinutes = ParseNumber(values.substr(comma + 1), "query minutes");
  } else {
    throw std::invalid_argument("unknown mode \"" + text + "\"");
  }
}

std::uint32_t ReadWord(const std::vector<std::uint8_t>& bytes, size_t offset) {
  std::uint32_t value = 0;
  if (bytes.size() >= offset + 4)
    std::memcpy(&value, bytes.data() + offset, 4);
  return value;
}

void WriteWord(std::vector<std::uint8_t>& bytes, size_t offset, std::uint32_t value) {
  std::memcpy(bytes.data() + offset, &value, 4);
}

/// Appends the request and closes the file again, so a test may read it at any time.
void Record(const std::string& path, const std::vector<std::uint8_t>& request) {
  if (path.empty())
    return;
  FILE* file = std::fopen(path.c_str(), "ab");
  if (!file) {
    std::cerr << "pipe_test_server: cannot append to " << path << "\n";
    return;
  }
  std::fwrite(request.data(), 1, request.size(), file);
  std::fclose(file);
}

/// The reply for a request, or false when the mode says to close without one.
bool MakeReply(const Options& options, const std::vector<std::uint8_t>& request,
               std::vector<std::uint8_t>& reply, std::mt19937& random) {
  switch (options.mode) {
  case Mode::Garbage:
    reply.resize(std::uniform_int_distribution<size_t>(0, 8224)(random));
    for (std::uint8_t& byte : reply)
      byte = static_cast<std::uint8_t>(random());
    return true;
  case Mode::Reply:
    reply.resize(options.replySize);
    for (size_t i = 0; i < reply.size(); ++i)
      reply[i] = ReplyPatternByte(i);
    return true;
  case Mode::Echo:
    reply = request;
    return true;
  case Mode::Delay:
    platform::Sleep(options.delayMs);
    reply = request;
    return true;
  case Mode::Query:
    reply.assign(8224, 0);
    WriteWord(reply, 0, 8224);
    WriteWord(reply, 4, ReadWord(request, 4));
    if (ReadWord(request, 4) == 2) {
      WriteWord(reply, 28, options.querySeconds);
      WriteWord(reply, 32, options.queryMinutes);
    }
    return true;
  case Mode::Close:
  case Mode::CloseAfterProbe:
    return false;
  }
  return false;
}

} // namespace

Options ParseOptions(std::span<const std::string> arguments) {
  Options options;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (i + 1 >= arguments.size())
      throw std::invalid_argument("missing value after " + argument);
    const std::string& value = arguments[++i];
    if (argument == "--name") {
      if (value.empty() || value.find_first_of("\\/") != std::string::npos)
        throw std::invalid_argument("bad pipe name \"" + value + "\"");
      options.name = Utf8ToUtf16(value);
    } else if (argument == "--record") {
      options.recordPath = value;
    } else if (argument == "--mode") {
      ParseMode(value, options);
    } else if (argument == "--max-requests") {
      options.maxRequests = ParseNumber(value, "request count");
    } else {
      throw std::invalid_argument("unknown option " + argument);
    }
  }
  return options;
}

int Run(const Options& options, const std::function<bool()>& stopRequested,
        const std::function<void()>& ready) {
  std::unique_ptr<platform::PipeServer> server = platform::PipeServer::Create(options.name);
  if (!server) {
    std::cerr << "pipe_test_server: cannot serve pipe " << Utf16ToUtf8(options.name) << ": "
              << Utf16ToUtf8(SysErrorMessage(platform::LastErrorCode())) << "\n";
    return 1;
  }
  ready();
  std::uint64_t handled = 0;
  std::vector<std::uint8_t> request, reply;
  std::mt19937 random(options.seed);
  while (!stopRequested() && (options.maxRequests == 0 || handled < options.maxRequests)) {
    std::unique_ptr<platform::PipeConnection> connection = server->Accept(50);
    if (!connection)
      continue;
    if (!connection->ReadRequest(request, 2000))
      continue;
    if (request.empty()) {
      if (options.mode == Mode::CloseAfterProbe)
        server->StopListening();
      continue;
    }
    Record(options.recordPath, request);
    ++handled;
    // Told on standard error, so a test can see that the reply it asked for went out.
    if (MakeReply(options, request, reply, random) && !connection->WriteReply(reply))
      std::cerr << "pipe_test_server: reply of " << reply.size() << " bytes not sent\n";
  }
  return 0;
}

} // namespace testservice
