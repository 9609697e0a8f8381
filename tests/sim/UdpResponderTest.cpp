// The UDP responder on loopback: search datagrams answered to the sender's
// port with 256 bytes per LAN unit; parameter datagrams taken by MAC.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include "SimTestSupport.h"
#include "linkmeter/sim/UdpResponder.h"

namespace {

class UdpResponderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    linkmeter::sim::SimulatorOptions options;
    options.udp = true;
    options.udpAddress = "127.0.0.1";
    options.udpPort = 0;
    options.attachUsb = false;
    sim = std::make_unique<linkmeter::sim::Simulator>(linkmeter::sim::DemoSite(), commands, options);
    std::string error;
    ASSERT_TRUE(sim->Start(&error)) << error;
    client.Reset(::socket(AF_INET, SOCK_DGRAM, 0));
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(client.Get(), reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
  }

  std::string Exchange(const std::string& datagram) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(sim->UdpPort()));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::sendto(client.Get(), datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    pollfd p{client.Get(), POLLIN, 0};
    if (::poll(&p, 1, 2000) != 1) return {};
    char buffer[1024];
    ssize_t n = ::recv(client.Get(), buffer, sizeof buffer, 0);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
  }

  const linkmeter::sim::CommandTable commands = linkmeter::sim::CommandTable::WithEveryCommand();
  std::unique_ptr<linkmeter::sim::Simulator> sim;
  vcomm::UniqueFd client;
};

TEST_F(UdpResponderTest, SearchIsAnsweredWithTheLanUnitsRecord) {
  std::string search(256, '\0');
  search[0] = 0x50, search[1] = 1, search[2] = 1;
  std::string answer = Exchange(search);
  ASSERT_EQ(answer.size(), 256u);
  EXPECT_EQ(answer.substr(0, 4), std::string("\x50\x01\x01\x00", 4));
  EXPECT_EQ(answer.substr(6, 6), std::string("\x00\x1A\x2B\x01\x02\x03", 6));
  EXPECT_EQ(answer.substr(12, 4), std::string("\x7F\x00\x00\x01", 4));
  int port = static_cast<unsigned char>(answer[32]) | static_cast<unsigned char>(answer[33]) << 8;
  EXPECT_EQ(port, sim->LanPort(simtest::kLanBase));
  EXPECT_EQ(answer.substr(34, 8), "009C0021");
  EXPECT_EQ(answer.substr(42, 9), std::string("RIVERSIDE\0", 9));
}

TEST_F(UdpResponderTest, ParameterDatagramIsTakenByMacAndAnsweredWithStatusZero) {
  std::string params(256, '\0');
  params[0] = 0x50, params[1] = 1, params[2] = 2;
  params.replace(6, 6, std::string("\x00\x1A\x2B\x01\x02\x03", 6));
  params.replace(12, 4, std::string("\x0A\x00\x00\x09", 4));
  std::string answer = Exchange(params);
  ASSERT_EQ(answer.size(), 256u);
  EXPECT_EQ(answer.substr(0, 4), std::string("\x50\x01\x02\x00", 4));
  auto* unit = sim->Unit(simtest::kLanBase);
  std::lock_guard lock(unit->mutex);
  EXPECT_EQ(unit->blocks["RNETP"]["IP"], "10.0.0.9");

  // Malformed or foreign datagrams get no answer at all.
  EXPECT_TRUE(linkmeter::sim::UdpResponder::Answers(params.substr(0, 255), {}).empty());
}

}  // namespace
