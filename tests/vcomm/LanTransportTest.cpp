// libvcomm's LAN transport against loopback test peers.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>
#include <vector>

#include "PeerServer.h"
#include "vcomm/Vcomm.h"

namespace vcomm::testing {
namespace {

using com::vantor::Bytes;
using Clock = std::chrono::steady_clock;

Vcomm_Handle OpenTo(const PeerServer& peer, const char* password = "pw") {
  Vcomm_Handle handle = 0;
  EXPECT_EQ(Vcomm_OpenLANComm("127.0.0.1", peer.Port(), password, nullptr, &handle), 0);
  return handle;
}

int Receive(Vcomm_Handle handle, Bytes& frame, int seconds = 1) {
  frame.assign(VCOMM_RECV_CAPACITY, '\0');
  int got = Vcomm_RecvComm(handle, frame.data(), VCOMM_RECV_CAPACITY, seconds);
  frame.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return got;
}

// A free loopback port: bound, then released.
int UnusedPort() {
  auto peer = PeerServer::Loopback([](int) {});
  int port = peer->Port();
  return port;
}

TEST(VcommLogin, SendsPasswordAndAcceptsZeroStatus) {
  std::string password;
  auto peer = PeerServer::Loopback([&](int fd) {
    auto login = ReadRequest(fd);
    password = login.fields["PW"];
    WriteAll(fd, Frame("LOGIN", {{"STATUS", "0000-0000"}}));
    EchoUntilClosed(fd);
  });
  Vcomm_Handle handle = OpenTo(*peer, "s3cret");
  EXPECT_GT(handle, Vcomm_Handle{0xFFFFFFFF});
  EXPECT_EQ(password, "s3cret");
  Vcomm_Handle second = OpenTo(*peer);
  EXPECT_GT(second, handle);  // handles are never reused
  EXPECT_EQ(Vcomm_CloseComm(handle), 0);
  EXPECT_EQ(Vcomm_CloseComm(second), 0);
  EXPECT_EQ(Vcomm_CloseComm(handle), VCOMM_ARGUMENT_ERR);
}

TEST(VcommLogin, RefusalsAndBrokenLogins) {
  struct Case {
    const char* what;
    PeerServer::Script script;
    int expected;
  };
  std::vector<Case> cases = {
      {"wrong password", [](int fd) { AnswerLogin(fd, "0001-0002"); }, VCOMM_LOGIN_ERR},
      {"no STATUS", [](int fd) { ReadRequest(fd); WriteAll(fd, Frame("LOGIN", {})); }, VCOMM_LOGIN_ERR},
      {"peer closes", [](int fd) { ReadRequest(fd); ::shutdown(fd, SHUT_RDWR); }, VCOMM_LOGIN_TR_ERR},
      {"other name", [](int fd) { ReadRequest(fd); WriteAll(fd, Frame("LOGON", {{"STATUS", "0000-0000"}})); },
       VCOMM_LOGIN_TR_ERR},
      {"garbage", [](int fd) { ReadRequest(fd); WriteAll(fd, "HTTP/1.1 400\r\n"); }, VCOMM_LOGIN_TR_ERR},
  };
  for (auto& c : cases) {
    auto peer = PeerServer::Loopback(c.script);
    Vcomm_Handle handle = -1;
    EXPECT_EQ(Vcomm_OpenLANComm("127.0.0.1", peer->Port(), "pw", nullptr, &handle), c.expected) << c.what;
    EXPECT_EQ(handle, -1) << c.what;
  }
}

TEST(VcommLogin, ConnectFailuresAndBadArguments) {
  Vcomm_Handle handle = 0;
  EXPECT_EQ(Vcomm_OpenLANComm("127.0.0.1", UnusedPort(), "pw", nullptr, &handle), VCOMM_CONNECT_ERR);
  EXPECT_EQ(Vcomm_OpenLANComm("not-an-address", 80, "pw", nullptr, &handle), VCOMM_CONNECT_ERR);
  EXPECT_EQ(Vcomm_OpenLANComm("127.0.0.1", 0, "pw", nullptr, &handle), VCOMM_ARGUMENT_ERR);
  EXPECT_EQ(Vcomm_OpenLANComm("127.0.0.1", 70000, "pw", nullptr, &handle), VCOMM_ARGUMENT_ERR);
  EXPECT_EQ(Vcomm_OpenLANComm(nullptr, 80, "pw", nullptr, &handle), VCOMM_ARGUMENT_ERR);
  EXPECT_EQ(Vcomm_OpenLANComm("127.0.0.1", 80, "pw", nullptr, nullptr), VCOMM_ARGUMENT_ERR);
}

TEST(VcommExchange, SendAndReceiveOneFramePerCall) {
  auto peer = PeerServer::Loopback([](int fd) {
    AnswerLogin(fd);
    auto request = ReadRequest(fd);
    // Two answers in one write, the second in form "E": still one per call.
    WriteAll(fd, Frame(request.name, {{"N", "1"}}) + Frame(request.name, {{"N", "2"}}, com::vantor::LengthForm::E));
    ReadRequest(fd);
  });
  Vcomm_Handle handle = OpenTo(*peer);
  Bytes request = Frame("EBSTS", {});
  ASSERT_EQ(Vcomm_SendComm(handle, request.data(), static_cast<int>(request.size())), 0);
  Bytes first, second;
  ASSERT_GT(Receive(handle, first), 0);
  ASSERT_GT(Receive(handle, second), 0);
  EXPECT_EQ(*com::vantor::ParseFrame(first)->Find("N"), "1");
  EXPECT_EQ(*com::vantor::ParseFrame(second)->Find("N"), "2");
  Vcomm_CloseComm(handle);
}

TEST(VcommExchange, TimesOutAfterTheGivenSeconds) {
  auto peer = PeerServer::Loopback([](int fd) {
    AnswerLogin(fd);
    WriteAll(fd, Frame("EBSTS", {}).substr(0, 7));  // half a frame, then silence
    ReadRequest(fd, 3000);
  });
  Vcomm_Handle handle = OpenTo(*peer);
  Bytes frame;
  auto start = Clock::now();
  EXPECT_EQ(Receive(handle, frame, 1), VCOMM_TIMEOUT_ERR);
  auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(990));
  EXPECT_LT(waited, std::chrono::milliseconds(1500));
  start = Clock::now();
  EXPECT_EQ(Receive(handle, frame, 0), VCOMM_TIMEOUT_ERR);
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(100));
  Vcomm_CloseComm(handle);
}

TEST(VcommExchange, PeerClosingMidFrameIsARecvDataError) {
  auto peer = PeerServer::Loopback([](int fd) {
    AnswerLogin(fd);
    WriteAll(fd, Frame("EBSTS", {{"STATUS", "0004-0000"}}).substr(0, 9));
    ::shutdown(fd, SHUT_RDWR);
  });
  Vcomm_Handle handle = OpenTo(*peer);
  Bytes frame;
  EXPECT_EQ(Receive(handle, frame), VCOMM_RECVDATA_ERR);
  EXPECT_EQ(Receive(handle, frame), VCOMM_RECVDATA_ERR);  // and stays so
  Bytes request = Frame("EBSTS", {});
  // The peer is gone: the send fails (possibly only on a second try, once TCP noticed).
  int sent = Vcomm_SendComm(handle, request.data(), static_cast<int>(request.size()));
  if (sent == 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    sent = Vcomm_SendComm(handle, request.data(), static_cast<int>(request.size()));
  }
  EXPECT_EQ(sent, VCOMM_SEND_ERR);
  Vcomm_CloseComm(handle);
}

TEST(VcommExchange, GarbageIsARecvDataErrorAndIsDropped) {
  auto peer = PeerServer::Loopback([](int fd) {
    AnswerLogin(fd);
    WriteAll(fd, "garbage T2");
    ReadRequest(fd);
    WriteAll(fd, Frame("OK", {}));
    ReadRequest(fd);
  });
  Vcomm_Handle handle = OpenTo(*peer);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Bytes frame;
  EXPECT_EQ(Receive(handle, frame), VCOMM_RECVDATA_ERR);
  Bytes request = Frame("EBSTS", {});
  Vcomm_SendComm(handle, request.data(), static_cast<int>(request.size()));
  ASSERT_GT(Receive(handle, frame), 0);
  EXPECT_EQ(com::vantor::ParseFrame(frame)->name, "OK");
  Vcomm_CloseComm(handle);
}

TEST(VcommExchange, OversizeFrameIsRefusedAndSkipped) {
  auto peer = PeerServer::Loopback([](int fd) {
    AnswerLogin(fd);
    // 70,000 body bytes in form "4", then a normal answer.
    Bytes big = *com::vantor::WrapBody("BIG:" + Bytes(70000, 'x'), com::vantor::LengthForm::Four);
    WriteAll(fd, big + Frame("AFTER", {}));
    ReadRequest(fd);
  });
  Vcomm_Handle handle = OpenTo(*peer);
  Bytes frame;
  EXPECT_EQ(Receive(handle, frame), VCOMM_RECVSIZE_ERR);
  ASSERT_GT(Receive(handle, frame), 0);
  EXPECT_EQ(com::vantor::ParseFrame(frame)->name, "AFTER");
  Vcomm_CloseComm(handle);
}

TEST(VcommExchange, ClearDropsStaleBytesButSelectorZeroKeepsThem) {
  auto peer = PeerServer::Loopback([](int fd) {
    AnswerLogin(fd);
    WriteAll(fd, Frame("STALE", {}) + Frame("STALE", {}) + "T2");
    auto first = ReadRequest(fd);
    WriteAll(fd, Frame("FRESH", {}));
    ReadRequest(fd);
  });
  Vcomm_Handle handle = OpenTo(*peer);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Bytes frame;
  EXPECT_EQ(Vcomm_ClearCommBuf(handle, 0), 0);
  ASSERT_GT(Receive(handle, frame), 0);  // selector 0 kept the first stale frame
  EXPECT_EQ(com::vantor::ParseFrame(frame)->name, "STALE");
  EXPECT_EQ(Vcomm_ClearCommBuf(handle, 1), 0);
  Bytes request = Frame("EBSTS", {});
  Vcomm_SendComm(handle, request.data(), static_cast<int>(request.size()));
  ASSERT_GT(Receive(handle, frame), 0);
  EXPECT_EQ(com::vantor::ParseFrame(frame)->name, "FRESH");
  EXPECT_EQ(Vcomm_ClearCommBuf(0x7FFFFFFFFFFF, 1), VCOMM_ARGUMENT_ERR);
  Vcomm_CloseComm(handle);
}

TEST(VcommExchange, CloseWakesAWaitingReceive) {
  auto peer = PeerServer::Loopback([](int fd) {
    AnswerLogin(fd);
    ReadRequest(fd, 5000);
  });
  Vcomm_Handle handle = OpenTo(*peer);
  auto start = Clock::now();
  std::thread closer([handle] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    Vcomm_CloseComm(handle);
  });
  Bytes frame;
  EXPECT_LT(Receive(handle, frame, 5), 0);
  closer.join();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
}

TEST(VcommExchange, UnknownHandlesAndBadArguments) {
  char buffer[16];
  EXPECT_EQ(Vcomm_SendComm(12345, "x", 1), VCOMM_ARGUMENT_ERR);
  EXPECT_EQ(Vcomm_RecvComm(12345, buffer, 16, 1), VCOMM_ARGUMENT_ERR);
  EXPECT_EQ(Vcomm_CloseComm(12345), VCOMM_ARGUMENT_ERR);
  auto peer = PeerServer::Loopback([](int fd) {
    AnswerLogin(fd);
    ReadRequest(fd);
  });
  Vcomm_Handle handle = OpenTo(*peer);
  EXPECT_EQ(Vcomm_SendComm(handle, nullptr, 3), VCOMM_ARGUMENT_ERR);
  EXPECT_EQ(Vcomm_SendComm(handle, "x", -1), VCOMM_ARGUMENT_ERR);
  EXPECT_EQ(Vcomm_RecvComm(handle, buffer, 0, 1), VCOMM_ARGUMENT_ERR);
  EXPECT_EQ(Vcomm_RecvComm(handle, buffer, 16, -1), VCOMM_ARGUMENT_ERR);
  Vcomm_CloseComm(handle);
}

TEST(VcommExchange, AHundredConnectionsLeakNoDescriptors) {
  auto peer = PeerServer::Loopback([](int fd) {
    AnswerLogin(fd);
    EchoUntilClosed(fd);
  });
  {  // warm up: the first connection creates lasting state (threads, tables)
    Vcomm_Handle handle = OpenTo(*peer);
    Vcomm_CloseComm(handle);
  }
  peer->Stop();
  auto counted = PeerServer::Loopback([](int fd) {
    AnswerLogin(fd);
    EchoUntilClosed(fd);
  });
  int before = OpenDescriptorCount();
  Bytes request = Frame("EBSTS", {});
  Bytes frame;
  for (int i = 0; i < 100; ++i) {
    Vcomm_Handle handle = OpenTo(*counted);
    ASSERT_EQ(Vcomm_SendComm(handle, request.data(), static_cast<int>(request.size())), 0);
    ASSERT_GT(Receive(handle, frame), 0);
    ASSERT_EQ(Vcomm_CloseComm(handle), 0);
  }
  counted->Stop();  // closes the peer's side of every connection
  EXPECT_EQ(OpenDescriptorCount(), before);
  EXPECT_EQ(counted->Accepted(), 100);
}

}  // namespace
}  // namespace vcomm::testing
