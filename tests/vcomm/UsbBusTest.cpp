// USB units attached and detached on the socket bus, seen through libvcomm.

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <array>
#include <cstdlib>
#include <filesystem>

#include "PeerServer.h"
#include "vcomm/UsbBus.h"
#include "vcomm/Vcomm.h"

namespace vcomm::testing {
namespace {

using com::vantor::Bytes;

class UsbBus : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() /
                 ("vcomm-usb-test-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory_);
    usb::SetBusDirectory(directory_.string());
  }
  void TearDown() override {
    usb::SetBusDirectory("");
    std::filesystem::remove_all(directory_);
  }

  static std::array<unsigned char, 256> Flags(int deviceType, int& count) {
    std::array<unsigned char, 256> flags;
    flags.fill(0xEE);
    count = Vcomm_GetConnectNum(flags.data(), static_cast<int>(flags.size()), deviceType, 1);
    return flags;
  }

  std::filesystem::path directory_;
};

TEST_F(UsbBus, AttachAndDetachAreSeenBySlotAndType) {
  int count = -1;
  Flags(VCOMM_DEVICE_VELA, count);
  EXPECT_EQ(count, 0);
  auto a = usb::AttachedUnit::Attach(usb::kDeviceTypeVela, 0x9A000001);
  auto b = usb::AttachedUnit::Attach(usb::kDeviceTypeVela, 0x9A000002);
  auto c = usb::AttachedUnit::Attach(usb::kDeviceTypeVlb3, 0x01000003);
  ASSERT_TRUE(a && b && c);
  auto flags = Flags(VCOMM_DEVICE_VELA, count);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(flags[0], 1);
  EXPECT_EQ(flags[1], 1);
  EXPECT_EQ(flags[2], 0);
  a->Detach();
  flags = Flags(VCOMM_DEVICE_VELA, count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(flags[0], 0);
  EXPECT_EQ(flags[1], 1);
  // A new unit takes the freed slot; serials come in slot order.
  auto d = usb::AttachedUnit::Attach(usb::kDeviceTypeVela, 0x9A000004);
  std::array<uint32_t, 4> serials{};
  ASSERT_EQ(Vcomm_GetSerial(serials.data(), 4, VCOMM_DEVICE_VELA, 1), 2);
  EXPECT_EQ(serials[0], 0x9A000004u);
  EXPECT_EQ(serials[1], 0x9A000002u);
  EXPECT_EQ(Vcomm_GetSerial(serials.data(), 1, VCOMM_DEVICE_VELA, 1), 1);
  ASSERT_EQ(Vcomm_GetSerial(serials.data(), 4, VCOMM_DEVICE_VLB3, 1), 1);
  EXPECT_EQ(serials[0], 0x01000003u);
  Flags(1234, count);
  EXPECT_EQ(count, 0);
}

TEST_F(UsbBus, ASerialIsAttachedOnce) {
  auto a = usb::AttachedUnit::Attach(usb::kDeviceTypeVela, 0x9A000001);
  std::string error;
  EXPECT_FALSE(usb::AttachedUnit::Attach(usb::kDeviceTypeVlb3, 0x9A000001, &error));
  EXPECT_NE(error.find("already attached"), std::string::npos);
  a.reset();
  EXPECT_TRUE(usb::AttachedUnit::Attach(usb::kDeviceTypeVlb3, 0x9A000001));
}

TEST_F(UsbBus, LeftoversOfADeadAttacherAreIgnoredAndReplaced) {
  std::filesystem::create_directories(directory_);
  // Files as a crashed process leaves them: nobody holds the lock.
  for (const char* name : {"1280-000-9A000001.sock", "1280-000-9A000001.lock"}) {
    std::FILE* file = std::fopen((directory_ / name).c_str(), "w");
    std::fclose(file);
  }
  int count = -1;
  Flags(VCOMM_DEVICE_VELA, count);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(Vcomm_OpenUSBComm(0x9A000001), VCOMM_SERIALNUM_ERR);
  auto unit = usb::AttachedUnit::Attach(usb::kDeviceTypeVela, 0x9A000001);
  ASSERT_TRUE(unit);
  EXPECT_EQ(unit->Slot(), 0);
}

TEST_F(UsbBus, OpenBySerialThenExchangeFramesWithoutLogin) {
  auto unit = usb::AttachedUnit::Attach(usb::kDeviceTypeVela, 0x9A000001);
  ASSERT_TRUE(unit);
  PeerServer peer(unit->ListenFd(), [](int fd) { EchoUntilClosed(fd); });
  EXPECT_EQ(Vcomm_OpenUSBComm(0x9A000002), VCOMM_SERIALNUM_ERR);
  ASSERT_EQ(Vcomm_OpenUSBComm(0x9A000001), 0);
  Vcomm_Handle handle = 0x9A000001;
  Bytes request = Frame("EBSTS", {});
  ASSERT_EQ(Vcomm_SendComm(handle, request.data(), static_cast<int>(request.size())), 0);
  Bytes answer(VCOMM_RECV_CAPACITY, '\0');
  int got = Vcomm_RecvComm(handle, answer.data(), VCOMM_RECV_CAPACITY, 1);
  ASSERT_GT(got, 0);
  answer.resize(static_cast<std::size_t>(got));
  EXPECT_EQ(*com::vantor::ParseFrame(answer)->Find("STATUS"), "0004-0000");
  // Opening again reconnects under the same handle.
  ASSERT_EQ(Vcomm_OpenUSBComm(0x9A000001), 0);
  ASSERT_EQ(Vcomm_SendComm(handle, request.data(), static_cast<int>(request.size())), 0);
  EXPECT_GT(Vcomm_RecvComm(handle, answer.data(), VCOMM_RECV_CAPACITY, 1), 0);
  EXPECT_EQ(Vcomm_CloseComm(handle), 0);
  EXPECT_EQ(peer.Accepted(), 2);
}

TEST_F(UsbBus, UnpluggingEndsTheStream) {
  auto unit = usb::AttachedUnit::Attach(usb::kDeviceTypeVela, 0x9A000001);
  PeerServer peer(unit->ListenFd(), [](int fd) { ReadRequest(fd, 3000); });
  ASSERT_EQ(Vcomm_OpenUSBComm(0x9A000001), 0);
  unit->Detach();
  peer.Stop();  // closes the unit's side, as pulling the cable would
  Bytes answer(64, '\0');
  EXPECT_EQ(Vcomm_RecvComm(0x9A000001, answer.data(), 64, 1), VCOMM_RECVDATA_ERR);
  EXPECT_EQ(Vcomm_OpenUSBComm(0x9A000001), VCOMM_SERIALNUM_ERR);
  Vcomm_CloseComm(0x9A000001);
}

TEST(UsbBusDirectory, OverrideThenEnvironmentThenRuntimeDirectory) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string savedRuntime = runtime ? runtime : "";
  ::setenv("LINKMETER_USB_BUS", "/tmp/from-env", 1);
  usb::SetBusDirectory("/tmp/from-call");
  EXPECT_EQ(usb::BusDirectory(), "/tmp/from-call");
  usb::SetBusDirectory("");
  EXPECT_EQ(usb::BusDirectory(), "/tmp/from-env");
  ::unsetenv("LINKMETER_USB_BUS");
  ::setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
  EXPECT_EQ(usb::BusDirectory(), "/run/user/4242/linkmeter-usb");
  if (runtime) {
    ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
  } else {
    ::unsetenv("XDG_RUNTIME_DIR");
  }
}

}  // namespace
}  // namespace vcomm::testing
