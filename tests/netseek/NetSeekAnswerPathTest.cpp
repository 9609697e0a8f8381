// How answers reach libnetseek: units that broadcast their answers (to the
// subnet or to 255.255.255.255, the only way for a unit on the wrong subnet),
// searches from labelled addresses, and the library's own broadcast looped
// back when the destination port is the one it listens on.

#include <algorithm>
#include <cstring>

#include "LanTestSupport.h"
#include "netseek/NetSeek.h"

namespace netseek::test {
namespace {

constexpr std::uint16_t kUnitPort = 62501;
constexpr std::uint16_t kListenPort = 62502;

AnswerSpec Unit(std::uint8_t command = 1) {
  AnswerSpec a;
  a.command = command;
  a.mac = {0, 26, 43, 4, 5, 6};
  a.ip = {192, 168, 10, 20};
  a.serial = "009C0042";
  a.name = "Broadcaster";
  return a;
}

// The address and MAC of record `index`; false when there is none.
bool ReadUnit(std::uint32_t index, Bytes& ip, Bytes& mac) {
  std::uint32_t addr = 0, v16, v20, v24, v28;
  std::uint8_t macBytes[6] = {}, setting;
  std::uint16_t port;
  char serial[9] = {}, name[33] = {}, descr[65] = {};
  if (NetSeek_GetSearchInfo(index, &addr, &v16, macBytes, &v20, &v24, &v28, &setting, &port,
                            serial, name, descr) != 1) {
    return false;
  }
  ip.assign(4, 0);
  std::memcpy(ip.data(), &addr, 4);
  mac.assign(macBytes, macBytes + 6);
  return true;
}

std::int32_t SetParam(void* parent, std::uint16_t destPort) {
  const std::uint8_t mac[6] = {0, 26, 43, 4, 5, 6};
  return NetSeek_SetParam(parent, destPort, 1, nullptr, nullptr, mac, nullptr, nullptr, nullptr,
                          0, 0, nullptr);
}

class BroadcastAnswerTest : public LanTest {};

TEST_F(BroadcastAnswerTest, SubnetAndLimitedBroadcastAnswersAreFound) {
  for (const std::string to : {"10.77.0.255", "255.255.255.255"}) {
    SCOPED_TRACE(to);
    StartResponder({MakeAnswer(Unit())}, {"--answer-to", to});
    ASSERT_EQ(NetSeek_DoSearch(parent_, kUnitPort, 1), 1);
    Bytes ip, mac;
    ASSERT_TRUE(ReadUnit(0, ip, mac));
    EXPECT_EQ(ip, Unit().ip);
    EXPECT_EQ(mac, Unit().mac);
    // Received once, on the interface's listening socket.
    const std::string log = LogText();
    const std::string listener = SocketOf(log, "0.0.0.0");
    ASSERT_FALSE(listener.empty()) << log;
    EXPECT_EQ(Count(log, "受信成功"), 1u) << log;
    EXPECT_EQ(Count(log, "受信成功(256バイト)(nSd=" + listener + ")[10.77.0.2]"), 1u) << log;

    StartResponder({MakeAnswer(Unit(2))}, {"--answer-to", to});
    EXPECT_EQ(SetParam(parent_, kUnitPort), 1);
    StopResponder();
  }
}

TEST_F(BroadcastAnswerTest, UnitAnsweringEveryWayIsListedOnce) {
  StartResponder({MakeAnswer(Unit())},
                 {"--answer-to", "10.77.0.1", "--answer-to", "10.77.0.255", "--answer-to",
                  "255.255.255.255"});
  ASSERT_EQ(NetSeek_DoSearch(parent_, kUnitPort, 1), 1);
  EXPECT_EQ(Count(LogText(), "受信成功"), 3u) << LogText();
}

// The unit sits on another subnet than the search side: it can only answer
// by limited broadcast.
class WrongSubnetTest : public LanTest {
  LabLayout Layout() const override { return {{"10.77.0.1/24"}, {"192.168.10.20/24"}}; }
};

TEST_F(WrongSubnetTest, LimitedBroadcastAnswerReachesSearchAndParameterRun) {
  StartResponder({MakeAnswer(Unit())}, {"--answer-to", "255.255.255.255"});
  ASSERT_EQ(NetSeek_DoSearch(parent_, kUnitPort, 1), 1);
  Bytes ip, mac;
  ASSERT_TRUE(ReadUnit(0, ip, mac));
  EXPECT_EQ(ip, Unit().ip);

  StartResponder({MakeAnswer(Unit(2))}, {"--answer-to", "255.255.255.255"});
  EXPECT_EQ(SetParam(parent_, kUnitPort), 1);
}

// Two labelled addresses on the search side's device: a secondary one in the
// primary's subnet and one in the only subnet the unit can answer into.
class LabelledAddressTest : public LanTest {
  LabLayout Layout() const override {
    return {{"10.77.0.1/24"}, {"10.77.5.2/24"}, {"10.77.0.5/24", "10.77.5.1/24"}};
  }
};

TEST_F(LabelledAddressTest, SearchLeavesFromLabelledAddressesAndFindsTheUnit) {
  StartResponder({MakeAnswer(Unit())});
  ASSERT_EQ(NetSeek_DoSearch(parent_, kUnitPort, 1), 1);
  const std::string request = " 256 500101" + std::string(506, '0');
  std::vector<std::string> requests = Requests();
  std::sort(requests.begin(), requests.end());  // the system's order of addresses
  EXPECT_EQ(requests, (std::vector<std::string>{"10.77.0.1:62502" + request,
                                                "10.77.0.5:62502" + request,
                                                "10.77.5.1:62502" + request}));
  const std::string log = LogText();
  EXPECT_EQ(log.find("Bind失敗"), std::string::npos) << log;
  EXPECT_FALSE(SocketOf(log, "10.77.5.1").empty()) << log;
  EXPECT_EQ(Count(log, "ソケット作成 成功(0.0.0.0)"), 1u) << log;  // one device, one listener
}

// With the destination port equal to the port the library listens on, its
// own broadcast comes back to it; that is no answer from a unit.
TEST_F(BroadcastAnswerTest, OwnRequestLoopedBackIsNoAnswer) {
  EXPECT_EQ(NetSeek_DoSearch(parent_, kListenPort, 1), 0);
  EXPECT_EQ(SetParam(parent_, kListenPort), -5);
}

}  // namespace
}  // namespace netseek::test
