// ExecutorVela over the real libvcomm: loopback LAN peers and bus units.

#include <gtest/gtest.h>

#include <filesystem>

#include "PeerServer.h"
#include "TestCommands.h"
#include "vantor/vcomm/ExecutorVela.h"
#include "vantor/com/TcmdWireless.h"
#include "vcomm/UsbBus.h"

namespace com::vantor::testing {
namespace {

using vcomm::testing::AnswerLogin;
using vcomm::testing::EchoUntilClosed;
using vcomm::testing::Frame;
using vcomm::testing::PeerServer;
using vcomm::testing::ReadRequest;
using vcomm::testing::WriteAll;

class QuickCmd : public CountingCmd {
 public:
  int GetRecvTimeout(int) const override { return 1999; }  // whole seconds: 1
};

TEST(ExecutorVela, LanOpenExecuteClose) {
  auto peer = PeerServer::Loopback([](int fd) {
    AnswerLogin(fd);
    EchoUntilClosed(fd);
  });
  ExecutorVela executor;
  EXPECT_FALSE(executor.IsOpen());
  ASSERT_EQ(executor.OpenLAN("127.0.0.1", peer->Port(), "pw", nullptr, 0), ExecResult::Completed());
  EXPECT_TRUE(executor.IsOpen());
  TcmdWireless command("EWLEX");
  executor.Execute(command, 0);
  EXPECT_EQ(command.GetResult(), ExecResult::Completed());
  EXPECT_TRUE(command.IsSuccess());
  executor.Close();
  EXPECT_FALSE(executor.IsOpen());
  executor.Execute(command, 0);
  EXPECT_EQ(command.GetResult(), ExecResult::NotOpen());
}

TEST(ExecutorVela, SecondLanOpenIsRefusedAndKeepsTheConnection) {
  auto peer = PeerServer::Loopback([](int fd) {
    AnswerLogin(fd);
    EchoUntilClosed(fd);
  });
  ExecutorVela executor;
  ASSERT_EQ(executor.OpenLAN("127.0.0.1", peer->Port(), "pw", nullptr, 0).status, 0);
  auto handle = executor.GetHandle();
  EXPECT_EQ(executor.OpenLAN("127.0.0.1", peer->Port(), "pw", nullptr, 3), ExecResult(5, "ExecutorVela::Open", 104, 0));
  EXPECT_EQ(executor.GetHandle(), handle);
  EXPECT_EQ(peer->Accepted(), 1);
  CountingCmd command;
  executor.Execute(command, 0);
  EXPECT_EQ(command.GetResult().status, 0);
}

TEST(ExecutorVela, LanOpenRetriesThenReportsTheLastError) {
  auto peer = PeerServer::Loopback([](int fd) { AnswerLogin(fd, "0001-0000"); });
  ExecutorVela executor;
  EXPECT_EQ(executor.OpenLAN("127.0.0.1", peer->Port(), "bad", nullptr, 2),
            ExecResult(5, "Vcomm_OpenLANComm : LOGIN_ERR(-29)", 1029, 105));
  EXPECT_FALSE(executor.IsOpen());
  EXPECT_EQ(peer->Accepted(), 3);
}

TEST(ExecutorVela, ReceiveTimeOutIsALibraryError) {
  auto peer = PeerServer::Loopback([](int fd) {
    AnswerLogin(fd);
    ReadRequest(fd);
    ReadRequest(fd, 3000);  // never answers
  });
  ExecutorVela executor;
  ASSERT_EQ(executor.OpenLAN("127.0.0.1", peer->Port(), "pw", nullptr, 0).status, 0);
  QuickCmd command;
  auto start = Executor::NowTick();
  executor.Execute(command, 0);
  EXPECT_EQ(command.GetResult(), ExecResult(5, "Vcomm_RecvComm : TIMEOUT_ERR(-28)", 1028, 103));
  EXPECT_GE(Executor::NowTick() - start, 990u);
  EXPECT_LT(Executor::NowTick() - start, 1500u);
}

TEST(ExecutorVela, SendClearsStaleAnswersFirst) {
  auto peer = PeerServer::Loopback([](int fd) {
    AnswerLogin(fd);
    WriteAll(fd, Frame("EBSTS", {{"STATUS", "0009-0009"}}));  // unasked, arrives early
    auto request = ReadRequest(fd);
    WriteAll(fd, Frame("EBSTS", {{"STATUS", "0002-0000"}}));
    ReadRequest(fd);
  });
  ExecutorVela executor;
  ASSERT_EQ(executor.OpenLAN("127.0.0.1", peer->Port(), "pw", nullptr, 0).status, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  CountingCmd command;
  executor.Execute(command, 0);
  EXPECT_EQ(command.GetStatusText(), "0002-0000");
}

TEST(ExecutorVela, UsbOpenBySerial) {
  auto directory = std::filesystem::temp_directory_path() / ("vela-usb-" + std::to_string(::getpid()));
  vcomm::usb::SetBusDirectory(directory.string());
  {
    auto unit = vcomm::usb::AttachedUnit::Attach(vcomm::usb::kDeviceTypeVela, 0x9A000001);
    ASSERT_TRUE(unit);
    PeerServer peer(unit->ListenFd(), [](int fd) { EchoUntilClosed(fd); });
    ExecutorVela executor;
    EXPECT_EQ(executor.OpenUSB(0x9A000002, 2), ExecResult(5, "Vcomm_OpenUSBComm : SERIALNUM_ERR(-12)", 1012, 101));
    ASSERT_EQ(executor.OpenUSB(0x9A000001, 0), ExecResult::Completed());
    EXPECT_EQ(executor.GetHandle(), Vcomm_Handle{0x9A000001});
    ASSERT_EQ(executor.OpenUSB(0x9A000001, 0).status, 0);  // opened again
    TcmdWireless command("EWLEX");
    executor.Execute(command, 0);
    EXPECT_TRUE(command.IsSuccess());
    EXPECT_EQ(peer.Accepted(), 2);
  }
  vcomm::usb::SetBusDirectory("");
  std::filesystem::remove_all(directory);
}

}  // namespace
}  // namespace com::vantor::testing
