// Sends refused on some addresses (here by a firewall rule, which fails them
// with EPERM; a tunnel without peers fails them the same way with ENOKEY): a
// search goes on from the addresses that can send and fails only when none
// can; a parameter run still ends at the first refusal.

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "LanTestSupport.h"
#include "netseek/NetSeek.h"

namespace netseek::test {
namespace {

constexpr std::uint16_t kUnitPort = 62501;
const std::string kRequest = ":62502 256 500101" + std::string(506, '0');
const std::string kRefused = "[" + std::to_string(EPERM) + "]";
const std::string kNoneSent = "送信できるアドレスがありません";

AnswerSpec Unit() {
  AnswerSpec a;
  a.mac = {0, 26, 43, 7, 7, 7};
  a.ip = {192, 168, 10, 30};
  a.serial = "009C0007";
  a.name = "Behind the good link";
  return a;
}

std::size_t OpenFdCount() {
  return static_cast<std::size_t>(std::distance(
      std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator()));
}

std::int32_t SetParam(void* parent) {
  const std::uint8_t mac[6] = {0, 26, 43, 7, 7, 7};
  return NetSeek_SetParam(parent, kUnitPort, 1, nullptr, nullptr, mac, nullptr, nullptr, nullptr,
                          0, 0, nullptr);
}

struct Address {
  std::string address;
  std::string device;
};

// What a rule blocks on the search side, and which addresses still send.
struct Blocked {
  std::string name;
  std::vector<std::string> devices;    // every send through these fails
  std::vector<std::string> addresses;  // every send from these fails
  std::vector<Address> failing;
  std::vector<std::string> sending;
};
void PrintTo(const Blocked& blocked, std::ostream* out) { *out << blocked.name; }

// Two interfaces on the search side, the first with two addresses: nsk0
// (10.77.0.1, 10.77.2.1) and nsk2 (10.77.1.1), all reaching the peer's unit.
class SendFailureTest : public LanTest {
 protected:
  LabLayout Layout() const override {
    LabLayout layout{{"10.77.0.1/24", "10.77.2.1/24"}, {"10.77.0.2/24", "10.77.2.2/24"}};
    layout.secondSearchAddresses = {"10.77.1.1/24"};
    layout.secondPeerAddresses = {"10.77.1.2/24"};
    return layout;
  }

  // False (and the test skipped) without nft.
  bool Block(const Blocked& blocked) {
    for (const std::string& device : blocked.devices) {
      if (!lab_->BlockSendsOn(device)) return false;
    }
    for (const std::string& address : blocked.addresses) {
      if (!lab_->BlockSendsFrom(address)) return false;
    }
    return true;
  }

  // Every socket the run opened was closed, in the log and in the process.
  void ExpectAllClosed(std::size_t fdsBefore) {
    const std::string log = LogText();
    EXPECT_EQ(Count(log, "ソケット作成 成功"), Count(log, "通信切断完了")) << log;
    EXPECT_EQ(OpenFdCount(), fdsBefore);
  }
};

class SearchWithRefusedSendsTest : public SendFailureTest,
                                   public ::testing::WithParamInterface<Blocked> {};

TEST_P(SearchWithRefusedSendsTest, FindsTheUnitThroughTheAddressesThatSend) {
  const Blocked& blocked = GetParam();
  if (!Block(blocked)) GTEST_SKIP() << "nft (nftables) is not installed";
  StartResponder({MakeAnswer(Unit())});
  const std::size_t fdsBefore = OpenFdCount();
  ASSERT_EQ(NetSeek_DoSearch(parent_, kUnitPort, 1), 1) << LogText();

  std::uint32_t ip = 0, v16, v20, v24, v28;
  std::uint8_t mac[6] = {}, setting;
  std::uint16_t port;
  char serial[9] = {}, name[33] = {}, descr[65] = {};
  ASSERT_EQ(NetSeek_GetSearchInfo(0, &ip, &v16, mac, &v20, &v24, &v28, &setting, &port, serial,
                                  name, descr),
            1);
  EXPECT_EQ(Bytes(mac, mac + 6), Unit().mac);
  EXPECT_EQ(std::string(name), Unit().name);

  std::vector<std::string> expected;
  for (const std::string& address : blocked.sending) expected.push_back(address + kRequest);
  std::vector<std::string> requests = Requests();
  std::sort(requests.begin(), requests.end());
  EXPECT_EQ(requests, expected);

  const std::string log = LogText();
  for (const Address& refused : blocked.failing) {
    const std::string socket = SocketOf(log, refused.address);
    ASSERT_FALSE(socket.empty()) << log;
    EXPECT_EQ(Count(log, "送信エラー(nSd=" + socket + ")" + kRefused), 1u) << log;
    const std::string skipped = "送信失敗のアドレスを除外(" + refused.address + ")[" + refused.device;
    EXPECT_EQ(Count(log, skipped + "]\r\n"), 1u) << log;
  }
  for (const std::string& address : blocked.sending) {
    const std::string socket = SocketOf(log, address);
    EXPECT_EQ(Count(log, "データ送信完了(nSd=" + socket + ")"), 1u) << log;
  }
  EXPECT_EQ(Count(log, kNoneSent), 0u) << log;
  ExpectAllClosed(fdsBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, SearchWithRefusedSendsTest,
    ::testing::Values(
        Blocked{"FirstInterface", {"nsk0"}, {},
                {{"10.77.0.1", "nsk0"}, {"10.77.2.1", "nsk0"}}, {"10.77.1.1"}},
        Blocked{"LastInterface", {"nsk2"}, {}, {{"10.77.1.1", "nsk2"}},
                {"10.77.0.1", "10.77.2.1"}},
        Blocked{"OneAddressOfAnInterface", {}, {"10.77.0.1"}, {{"10.77.0.1", "nsk0"}},
                {"10.77.1.1", "10.77.2.1"}}),
    [](const ::testing::TestParamInfo<Blocked>& info) { return info.param.name; });

TEST_F(SendFailureTest, SearchFailsAtOnceWhenNoAddressCanSend) {
  if (!Block({"all", {"nsk0", "nsk2"}, {}, {}, {}})) GTEST_SKIP() << "nft is not installed";
  StartResponder({MakeAnswer(Unit())});
  const std::size_t fdsBefore = OpenFdCount();
  const auto start = Clock::now();
  EXPECT_EQ(NetSeek_DoSearch(parent_, kUnitPort, 2), NETSEEK_RESULT_NOT_SENT);
  EXPECT_LT(Since(start).count(), 1000);  // no waiting for answers that cannot come

  const std::string log = LogText();
  EXPECT_EQ(Count(log, "送信エラー(nSd="), 3u) << log;
  EXPECT_EQ(Count(log, kRefused + "\r\n"), 3u) << log;
  EXPECT_EQ(Count(log, "送信失敗のアドレスを除外("), 3u) << log;
  EXPECT_EQ(Count(log, kNoneSent + "\r\n"), 1u) << log;
  EXPECT_TRUE(Requests().empty());
  ExpectAllClosed(fdsBefore);
}

// A parameter datagram is meant for one unit: the first refused send ends
// the run, with -3 when a later address could still send, -2 when none could.
TEST_F(SendFailureTest, ParameterRunEndsAtTheFirstRefusal) {
  if (!Block({"first", {"nsk0"}, {}, {}, {}})) GTEST_SKIP() << "nft is not installed";
  const std::size_t fdsBefore = OpenFdCount();
  EXPECT_EQ(SetParam(parent_), NETSEEK_RESULT_SEND_FAILED);
  ExpectAllClosed(fdsBefore);
  ASSERT_TRUE(lab_->BlockSendsOn("nsk2"));
  EXPECT_EQ(SetParam(parent_), NETSEEK_RESULT_NOT_SENT);
  EXPECT_EQ(Count(LogText(), kNoneSent + "\r\n"), 1u) << LogText();
  ExpectAllClosed(fdsBefore);
}

}  // namespace
}  // namespace netseek::test
