// The pipe stand-in's socket file: one live server per name, a file left by a killed
// server taken over, probes that arrive as empty requests, and credentials of the peer.
#include "platform/pipe_server.h"

#include "platform/environment.h"
#include "platform/error_text.h"
#include "platform/named_pipe.h"
#include "tests/pipes/PipeTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

std::u16string PathOf(const std::u16string& name) {
  return u"\\\\.\\pipe\\" + name;
}

fs::path SocketFile(const testservice::ScopedPipePlace& place) {
  return place.Folder() / fs::path(place.Name());
}

TEST(PipeServerPosixTest, LiveServerKeepsItsNameAndAStaleSocketIsTakenOver) {
  testservice::ScopedPipePlace place;
  {
    auto live = platform::PipeServer::Create(place.Name());
    ASSERT_TRUE(live);
    platform::SetLastErrorCode(0);
    EXPECT_FALSE(platform::PipeServer::Create(place.Name()));
    EXPECT_EQ(platform::LastErrorCode(), static_cast<std::uint32_t>(EADDRINUSE));
  }
  // A killed server leaves its socket file behind, bound by nobody.
  int stale = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::string file = SocketFile(place).string();
  ASSERT_LT(file.size(), sizeof(address.sun_path));
  file.copy(address.sun_path, file.size());
  ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ::close(stale);
  ASSERT_TRUE(fs::exists(SocketFile(place)));
  auto server = platform::PipeServer::Create(place.Name());
  ASSERT_TRUE(server) << platform::LastErrorCode();
  EXPECT_TRUE(platform::WaitForPipeInstance(PathOf(place.Name()), 1000).ok);
}

TEST(PipeServerPosixTest, StoppingRemovesOnlyItsOwnSocketFile) {
  testservice::ScopedPipePlace place;
  auto first = platform::PipeServer::Create(place.Name());
  ASSERT_TRUE(first);
  // The file is replaced behind the first server's back by a later one.
  fs::remove(SocketFile(place));
  auto later = platform::PipeServer::Create(place.Name());
  ASSERT_TRUE(later);
  first->StopListening();
  EXPECT_TRUE(fs::exists(SocketFile(place)));
  EXPECT_TRUE(platform::WaitForPipeInstance(PathOf(place.Name()), 1000).ok);
  later->StopListening();
  EXPECT_FALSE(fs::exists(SocketFile(place)));
}

TEST(PipeServerPosixTest, ProbeIsAnEmptyRequestAndThePeerIsNamedByItsCredentials) {
  testservice::ScopedPipePlace place;
  auto server = platform::PipeServer::Create(place.Name());
  ASSERT_TRUE(server);
  ASSERT_TRUE(platform::WaitForPipeInstance(PathOf(place.Name()), 1000).ok);
  auto probe = server->Accept(5000);
  ASSERT_TRUE(probe);
  Bytes request{1};
  EXPECT_TRUE(probe->ReadRequest(request, 5000));
  EXPECT_TRUE(request.empty());
  EXPECT_EQ(probe->PeerSession(),
            "uid " + std::to_string(::getuid()) + " pid " + std::to_string(::getpid()));
}

TEST(PipeServerPosixTest, MissingPipeFolderIsMade) {
  testservice::ScopedPipePlace place;
  fs::path deeper = place.Folder() / "a" / "b";
  ASSERT_TRUE(platform::SetEnvVar("NAMED_PIPE_DIR", deeper.string()));
  auto server = platform::PipeServer::Create(place.Name());
  ASSERT_TRUE(server) << platform::LastErrorCode();
  EXPECT_TRUE(fs::exists(deeper / fs::path(place.Name())));
}

} // namespace
