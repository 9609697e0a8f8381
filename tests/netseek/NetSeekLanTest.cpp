// libnetseek through its C interface, on private networks: the search side
// in one namespace, netseek-responder in another, linked by a veth pair.

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <thread>

#include "LanTestSupport.h"
#include "lm/Text.h"
#include "netseek/NetSeek.h"

namespace netseek::test {
namespace {

constexpr std::uint16_t kUnitPort = 62501;
const std::string kSearchRequestHex = "500101" + std::string(506, '0');

AnswerSpec UnitA() {
  AnswerSpec a;
  a.setting = 7;
  a.mac = {0, 26, 43, 1, 2, 3};
  a.ip = {192, 168, 10, 20};
  a.value16 = {255, 255, 255, 0};
  a.value20 = {192, 168, 10, 1};
  a.value24 = {8, 8, 8, 8};
  a.value28 = {8, 8, 4, 4};
  a.port = 0x1234;
  a.serial = "009C0001";
  a.name = "North pump house, base unit 0001";  // fills all 32 bytes
  a.descr = "first unit";
  return a;
}

AnswerSpec UnitB() {
  AnswerSpec b = UnitA();
  b.mac = {0, 26, 43, 9, 9, 9};
  b.ip = {192, 168, 10, 21};
  b.serial = "00A00002";
  b.name = "South";
  b.descr = std::string(64, 'd');  // fills all 64 bytes
  return b;
}

struct Record {
  std::uint32_t ip = 0xEEEEEEEE, v16 = 0xEEEEEEEE, v20 = 0xEEEEEEEE, v24 = 0xEEEEEEEE,
                v28 = 0xEEEEEEEE;
  std::uint8_t mac[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  std::uint8_t setting = 0xEE;
  std::uint16_t port = 0xEEEE;
  char serial[9] = {}, name[33] = {}, descr[65] = {};
};

int Read(std::uint32_t index, Record& r) {
  return NetSeek_GetSearchInfo(index, &r.ip, &r.v16, r.mac, &r.v20, &r.v24, &r.v28, &r.setting,
                               &r.port, r.serial, r.name, r.descr);
}

std::uint32_t AsStored(const Bytes& four) {
  std::uint32_t value;
  std::memcpy(&value, four.data(), 4);
  return value;
}

void ExpectFields(const Record& r, const AnswerSpec& a) {
  EXPECT_EQ(r.ip, AsStored(a.ip));
  EXPECT_EQ(r.v16, AsStored(a.value16));
  EXPECT_EQ(r.v20, AsStored(a.value20));
  EXPECT_EQ(r.v24, AsStored(a.value24));
  EXPECT_EQ(r.v28, AsStored(a.value28));
  EXPECT_EQ(Bytes(r.mac, r.mac + 6), a.mac);
  EXPECT_EQ(r.setting, a.setting);
  EXPECT_EQ(r.port, a.port);
  EXPECT_EQ(std::string(r.serial), a.serial);
  EXPECT_EQ(std::string(r.name), a.name);
  EXPECT_EQ(std::string(r.descr), a.descr);
}

TEST_F(LanTest, TwoUnitsGiveTwoRecordsWithEveryFieldAsSent) {
  StartResponder({MakeAnswer(UnitA()), MakeAnswer(UnitB())});
  ASSERT_EQ(NetSeek_DoSearch(parent_, kUnitPort, 1), 2);
  Record a, b;
  ASSERT_EQ(Read(0, a), 1);
  ASSERT_EQ(Read(1, b), 1);
  ExpectFields(a, UnitA());
  ExpectFields(b, UnitB());

  Record untouched;
  EXPECT_EQ(Read(2, untouched), 0);
  EXPECT_EQ(untouched.ip, 0xEEEEEEEE);
  EXPECT_EQ(untouched.mac[0], 0xEE);
  EXPECT_EQ(untouched.port, 0xEEEE);

  NetSeek_CloseSearch();
  EXPECT_EQ(Read(0, untouched), 0);
}

TEST_F(LanTest, OneRecordPerMacAndAddress) {
  AnswerSpec sameUnitAgain = UnitA();
  sameUnitAgain.name = "renamed";  // still the same unit: the first answer stays
  AnswerSpec sameMacOtherAddress = UnitA();
  sameMacOtherAddress.ip = {192, 168, 10, 99};
  StartResponder({MakeAnswer(UnitA()), MakeAnswer(UnitA()), MakeAnswer(sameUnitAgain),
                  MakeAnswer(sameMacOtherAddress)});
  ASSERT_EQ(NetSeek_DoSearch(parent_, kUnitPort, 1), 2);
  Record first, second;
  ASSERT_EQ(Read(0, first), 1);
  ASSERT_EQ(Read(1, second), 1);
  ExpectFields(first, UnitA());
  ExpectFields(second, sameMacOtherAddress);
}

TEST_F(LanTest, MalformedAnswersAreLoggedAndIgnored) {
  AnswerSpec shortAnswer = UnitB();
  shortAnswer.length = 255;
  AnswerSpec wrongCommand = UnitB();
  wrongCommand.command = 2;
  AnswerSpec failed = UnitB();
  failed.status = 1;
  StartResponder({MakeAnswer(UnitA()), MakeAnswer(shortAnswer), MakeAnswer(wrongCommand),
                  MakeAnswer(failed)});
  ASSERT_EQ(NetSeek_DoSearch(parent_, kUnitPort, 1), 1);
  Record only;
  ASSERT_EQ(Read(0, only), 1);
  ExpectFields(only, UnitA());

  // The socket numbers are the run's own; take them from the first two lines:
  // the sending socket, then the interface's listening socket.
  const std::string text = LogText();
  const auto socketNumber = [&text](std::size_t from) {
    from = text.find("[nSd=", from);
    return from == std::string::npos ? std::string()
                                     : text.substr(from + 5, text.find(']', from) - from - 5);
  };
  const std::string s = socketNumber(0);
  const std::string l = socketNumber(text.find("\r\n"));
  ASSERT_FALSE(s.empty() || l.empty()) << text;
  const std::string received = "受信成功(256バイト)(nSd=" + s + ")[10.77.0.2]\r\n";
  const std::string expected = "ソケット作成 成功(10.77.0.1)[nSd=" + s + "]\r\n" +
                               "ソケット作成 成功(0.0.0.0)[nSd=" + l + "]\r\n" +
                               "データ送信完了(nSd=" + s + ")\r\n" + received +
                               "受信成功(255バイト)(nSd=" + s + ")[10.77.0.2]\r\n" +
                               "受信バイト数異常(nSd=" + s + ")[255]\r\n" + received +
                               "ヘッダーエラー(nSd=" + s + ")\r\n" + received +
                               "ステータス=失敗(nSd=" + s + ")\r\n" +
                               "通信切断完了(nSd=" + s + ")\r\n" +
                               "通信切断完了(nSd=" + l + ")\r\n";
  EXPECT_EQ(text, expected);
  EXPECT_EQ(LogBytes(), lm::text::Utf8ToAnsi(expected));  // CP932 on disk
}

TEST_F(LanTest, SearchEndsWithinItsTimeLimit) {
  StartResponder({MakeAnswer(UnitA())});
  const auto start = Clock::now();
  ASSERT_EQ(NetSeek_DoSearch(parent_, kUnitPort, 1), 1);
  const auto took = Since(start);
  EXPECT_GE(took.count(), 1000);
  EXPECT_LT(took.count(), 1600);
  EXPECT_EQ(Requests(), std::vector<std::string>{"10.77.0.1:62502 256 " + kSearchRequestHex});
}

TEST_F(LanTest, BadArgumentsReturnAtOnceAndSendNothing) {
  StartResponder({MakeAnswer(UnitA())});
  const std::uint8_t mac[6] = {};
  const auto start = Clock::now();
  EXPECT_EQ(NetSeek_DoSearch(parent_, kUnitPort, 0), -10);
  EXPECT_EQ(NetSeek_DoSearch(parent_, kUnitPort, 11), -10);
  EXPECT_EQ(NetSeek_DoSearch(parent_, kUnitPort, -1), -10);
  EXPECT_EQ(NetSeek_DoSearch(nullptr, kUnitPort, 1), -10);
  EXPECT_EQ(NetSeek_SetParam(parent_, kUnitPort, 11, nullptr, nullptr, mac, nullptr, nullptr,
                             nullptr, 0, 0, nullptr),
            -10);
  EXPECT_EQ(NetSeek_SetParam(nullptr, kUnitPort, 1, nullptr, nullptr, mac, nullptr, nullptr,
                             nullptr, 0, 0, nullptr),
            -10);
  EXPECT_LT(Since(start).count(), 200);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(Requests().empty());
  EXPECT_FALSE(std::filesystem::exists(logPath_));  // no run, so no log
}

// The parameter run: what leaves, and how each kind of answer ends it.
class SetParamTest : public LanTest {
 protected:
  std::int32_t Send(std::int32_t limit = 1) {
    const std::uint32_t ip = AsStored({10, 1, 2, 3}), v16 = AsStored({255, 255, 0, 0}),
                        v20 = AsStored({10, 1, 0, 1}), v24 = AsStored({1, 1, 1, 1}),
                        v28 = AsStored({9, 9, 9, 9});
    const std::uint8_t mac[6] = {0, 26, 43, 1, 2, 3};
    std::uint8_t block[64];
    for (int i = 0; i < 64; ++i) block[i] = static_cast<std::uint8_t>(0xC0 + i);
    return NetSeek_SetParam(parent_, kUnitPort, limit, &ip, &v16, mac, &v20, &v24, &v28, 0x5A,
                            0xABCD, block);
  }
  static AnswerSpec Reply(std::uint8_t status) {
    AnswerSpec a;
    a.command = 2;
    a.status = status;
    return a;
  }
};

TEST_F(SetParamTest, AcceptedAnswerGivesOneAndEveryFieldWasSent) {
  StartResponder({MakeAnswer(Reply(0))});
  ASSERT_EQ(Send(), 1);
  std::string hex = "500102" "00" "00" "5a" "001a2b010203" "0a010203" "ffff0000" "0a010001"
                    "01010101" "09090909" "cdab" + std::string(2 * 158, '0');
  for (int i = 0; i < 64; ++i) hex += lm::text::Format("%02x", 0xC0 + i);
  EXPECT_EQ(Requests(), std::vector<std::string>{"10.77.0.1:62502 256 " + hex});
}

TEST_F(SetParamTest, RefusedOrMalformedAnswersGiveMinusFour) {
  AnswerSpec searchAnswer = Reply(0);
  searchAnswer.command = 1;
  AnswerSpec shortAnswer = Reply(0);
  shortAnswer.length = 255;
  for (const AnswerSpec& answer : {Reply(1), Reply(0xFF), searchAnswer, shortAnswer}) {
    StartResponder({MakeAnswer(answer)});
    EXPECT_EQ(Send(), -4);
    StopResponder();
  }
}

TEST_F(SetParamTest, UnansweredGivesMinusFiveAfterTheLimit) {
  StartResponder({});
  const auto start = Clock::now();
  EXPECT_EQ(Send(), -5);
  EXPECT_GE(Since(start).count(), 1000);
  EXPECT_EQ(Requests().size(), 1u);
}

// Two addresses on the search side, each reachable from the peer.
class TwoAddressTest : public LanTest {
  LabLayout Layout() const override {
    return {{"10.77.0.1/24", "10.77.1.1/24"}, {"10.77.0.2/24", "10.77.1.2/24"}};
  }
};

std::size_t OpenFdCount() {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                std::filesystem::directory_iterator()));
}

TEST_F(TwoAddressTest, SearchLeavesFromEveryAddressAndClosesEverySocket) {
  StartResponder({MakeAnswer(UnitA())});
  const std::size_t fdsBefore = OpenFdCount();
  ASSERT_EQ(NetSeek_DoSearch(parent_, kUnitPort, 1), 1);  // the same unit on both
  EXPECT_EQ(OpenFdCount(), fdsBefore);
  EXPECT_EQ(Requests(), (std::vector<std::string>{"10.77.0.1:62502 256 " + kSearchRequestHex,
                                                  "10.77.1.1:62502 256 " + kSearchRequestHex}));
  const std::string log = LogText();
  EXPECT_NE(log.find("ソケット作成 成功(10.77.1.1)"), std::string::npos);
  std::size_t closed = 0;
  for (std::size_t at = 0; (at = log.find("通信切断完了", at)) != std::string::npos; ++at) ++closed;
  EXPECT_EQ(closed, 3u);  // two sending sockets and the interface's listening one
}

// Only loopback on the search side.
class NoInterfaceTest : public LanTest {
  LabLayout Layout() const override { return {}; }
};

TEST_F(NoInterfaceTest, NoRecordsAndAnEmptyLog) {
  const auto start = Clock::now();
  EXPECT_EQ(NetSeek_DoSearch(parent_, kUnitPort, 1), 0);
  EXPECT_LT(Since(start).count(), 500);
  ASSERT_TRUE(std::filesystem::exists(logPath_));
  EXPECT_EQ(LogBytes(), "");
}

TEST_F(NoInterfaceTest, RunEntersTheLibraryFolderAndLogsThereByDefault) {
  const std::filesystem::path folder = std::filesystem::canonical(NETSEEK_LIBRARY_DIR);
  const std::filesystem::path defaultLog = folder / "UdpResult.txt";
  std::filesystem::remove(defaultLog);
  EXPECT_EQ(NetSeek_LogSettings(""), 0);
  ASSERT_EQ(::chdir(dir_.c_str()), 0);
  EXPECT_EQ(NetSeek_DoSearch(parent_, kUnitPort, 1), 0);
  EXPECT_EQ(std::filesystem::current_path(), folder);
  EXPECT_TRUE(std::filesystem::exists(defaultLog));
}

TEST(NetSeekLogSettings, StoresPathsThatFitAndRefusesLongerOnes) {
  EXPECT_EQ(NetSeek_LogSettings(""), 0);
  EXPECT_EQ(NetSeek_LogSettings(nullptr), 0);
  EXPECT_EQ(NetSeek_LogSettings("/tmp/a.txt"), 11);
  // Counted in UTF-16 units: "ログ.txt" is 6 characters, 10 bytes in CP932.
  EXPECT_EQ(NetSeek_LogSettings(lm::text::Utf8ToAnsi("/tmp/ログ.txt").c_str()), 12);
  EXPECT_EQ(NetSeek_LogSettings(std::string(259, 'x').c_str()), 260);
  EXPECT_EQ(NetSeek_LogSettings(std::string(260, 'x').c_str()), 0);
  EXPECT_EQ(NetSeek_LogSettings("\x81"), 0);  // a lead byte with nothing after it
}

}  // namespace
}  // namespace netseek::test
