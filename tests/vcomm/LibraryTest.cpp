// The library's state lives only while a vcomm::Library does: libraries made
// one after another share nothing, and calls outside one are refused.

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "PeerServer.h"
#include "vcomm/Library.h"
#include "vcomm/Vcomm.h"

namespace {

using vcomm::testing::PeerServer;

TEST(VcommLibrary, LibrariesOneAfterAnotherAreIndependentAndCallsOutsideOneFail) {
  auto peer = PeerServer::Loopback([](int fd) {
    vcomm::testing::AnswerLogin(fd);
    vcomm::testing::EchoUntilClosed(fd);
  });
  Vcomm_Handle first = 0;
  {
    vcomm::Library library;
    EXPECT_THROW(vcomm::Library{}, std::logic_error);
    ASSERT_EQ(Vcomm_OpenLANComm("127.0.0.1", peer->Port(), "pw", nullptr, &first), 0);
    EXPECT_EQ(Vcomm_ClearCommBuf(first, 1), 0);
  }  // still open: the library shuts it down
  const char bytes[] = "x";
  char buffer[8];
  EXPECT_EQ(Vcomm_ClearCommBuf(first, 1), VCOMM_ARGUMENT_ERR);
  EXPECT_EQ(Vcomm_SendComm(first, bytes, 1), VCOMM_ARGUMENT_ERR);
  EXPECT_EQ(Vcomm_CloseComm(first), VCOMM_ARGUMENT_ERR);
  Vcomm_Handle none = 0;
  EXPECT_EQ(Vcomm_OpenLANComm("127.0.0.1", peer->Port(), "pw", nullptr, &none), VCOMM_ARGUMENT_ERR);
  unsigned char flags[4];
  EXPECT_EQ(Vcomm_GetConnectNum(flags, 4, VCOMM_DEVICE_VELA, 0), VCOMM_ARGUMENT_ERR);

  vcomm::Library second;
  EXPECT_EQ(Vcomm_RecvComm(first, buffer, sizeof buffer, 0), VCOMM_ARGUMENT_ERR);
  EXPECT_EQ(Vcomm_CloseComm(first), VCOMM_ARGUMENT_ERR);
  Vcomm_Handle own = 0;
  ASSERT_EQ(Vcomm_OpenLANComm("127.0.0.1", peer->Port(), "pw", nullptr, &own), 0);
  EXPECT_EQ(Vcomm_CloseComm(own), 0);
}

}  // namespace
