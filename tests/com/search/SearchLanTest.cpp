// app.com.searchLAN: NetSeek's broadcast search answered by the simulator in
// a private network namespace, and the loopback search of a site running in
// this process through the page function itself.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "NetnsLab.h"
#include "SearchRig.h"
#include "sorrel/com/SearchEntries.h"

namespace search_test {
namespace {

using netseek::test::LabLayout;
using netseek::test::NetnsLab;

// Listed out of serial order; the 77 is not a model the LAN search keeps.
const char* const kLanSite = R"({
  "name": "lan search",
  "udp": {"enabled": true, "address": "0.0.0.0", "port": 62501},
  "baseUnits": [
    {"serial": "00A00002", "name": "SIX-B", "desc": "second six", "lan": {"address": "10.77.0.2", "port": 50003, "password": "p"},
     "mac": [0, 26, 43, 9, 9, 9]},
    {"serial": "009A0003", "name": "ONE", "desc": "a VL-B1", "lan": {"address": "10.77.0.2", "port": 50002, "password": "p"},
     "mac": [0, 26, 43, 7, 7, 7]},
    {"serial": "009C0001", "name": "SEVEN", "desc": "the seven", "lan": {"address": "10.77.0.2", "port": 50001, "password": "p"},
     "mac": [0, 26, 43, 1, 2, 3]},
    {"serial": "00A00001", "name": "SIX-A", "desc": "first six", "lan": {"address": "10.77.0.2", "port": 50004, "password": "p"},
     "mac": [0, 26, 43, 4, 5, 6]}
  ]
})";

std::string EntriesText(const Sorrel::WatchLan& lan) {
  lm::json::Array entries;
  for (const auto& unit : lan.List()) entries.push_back(Sorrel::Com::LanEntry(unit));
  return lm::json::ToText(lm::json::Value(entries));
}

class LanSearchInNamespace : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lm-search-lan-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::ofstream(dir_ + "/site.json") << kLanSite;
    NetnsLab::Failure failure;
    lab_ = NetnsLab::Create(LabLayout{{"10.77.0.1/24"}, {"10.77.0.2/24"}}, failure);
    if (!lab_ && failure.unavailable) GTEST_SKIP() << "network namespace tests skipped: " << failure.reason;
    ASSERT_TRUE(lab_) << failure.reason;
    sim_ = lab_->StartInPeer({LINKMETER_SIM_PATH, "--site", dir_ + "/site.json", "--no-usb"});
    ASSERT_TRUE(sim_ && sim_->WaitForLine("udp 62501", std::chrono::seconds(5)));
  }
  void TearDown() override {
    sim_.reset();
    std::filesystem::remove_all(dir_);
  }

  std::string dir_;
  std::unique_ptr<NetnsLab> lab_;
  std::unique_ptr<netseek::test::ChildProcess> sim_;
};

TEST_F(LanSearchInNamespace, KeepsModels78And80SortedBySerial) {
  // The search runs on this thread, the one inside the namespace.
  Sorrel::WatchLan lan;
  int token = 0;
  lan.SetParent(&token);
  lan.Search(Sorrel::Com::SearchLANPrm{});
  EXPECT_EQ(EntriesText(lan),
            R"([{"com":2,"descr":"the seven","ipAddr":"10.77.0.2","mac":"0-26-43-1-2-3","model":"VL-B7","name":"SEVEN","port":50001,"serial":"009C0001"},)"
            R"({"com":2,"descr":"first six","ipAddr":"10.77.0.2","mac":"0-26-43-4-5-6","model":"VL-B6","name":"SIX-A","port":50004,"serial":"00A00001"},)"
            R"({"com":2,"descr":"second six","ipAddr":"10.77.0.2","mac":"0-26-43-9-9-9","model":"VL-B6","name":"SIX-B","port":50003,"serial":"00A00002"}])");
  ASSERT_FALSE(lan.List().empty());
  EXPECT_EQ(lan.List()[0].value16, "255.255.255.0");  // the unit's mask travels too

  // Another destination port reaches no unit; a time limit the library
  // refuses gives nothing at once. Either way the old list goes.
  Sorrel::Com::SearchLANPrm other;
  other.udpSendPort = 62600;
  other.udpTimeoutSec = 1;
  lan.Search(other);
  EXPECT_EQ(EntriesText(lan), "[]");
  EXPECT_EQ(lan.SendPort(), 62600);
  lan.Search(Sorrel::Com::SearchLANPrm{});
  ASSERT_EQ(lan.List().size(), 3u);
  other.udpSendPort = 62501;
  other.udpTimeoutSec = 11;
  const auto start = std::chrono::steady_clock::now();
  lan.Search(other);
  EXPECT_TRUE(lan.List().empty());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

// The library enters its own folder for each search; the program gets the
// folder it had back, so relative file names keep naming the same files.
TEST_F(LanSearchInNamespace, TheCurrentFolderIsGivenBack) {
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  Sorrel::WatchLan lan;
  int token = 0;
  lan.SetParent(&token);
  lan.Search(Sorrel::Com::SearchLANPrm{});
  const std::filesystem::path after = std::filesystem::current_path();
  std::filesystem::current_path(before);
  EXPECT_EQ(lan.List().size(), 3u);
  EXPECT_EQ(after, std::filesystem::path(dir_));
}

// The page function end to end against a site whose responder is on
// loopback, as in the program's demo.
TEST(LanSearchOnLoopback, PageFunctionAnswersTheSitesLanUnits) {
  auto site = SiteOf({});
  for (uint32_t serial : {SerialOf(80, 7), SerialOf(81, 8), SerialOf(78, 9)}) {
    linkmeter::sim::BaseUnitSpec unit;
    unit.serial = serial;
    unit.name = lm::text::Format("U%X", serial & 0xF);
    unit.mac = {0, 26, 43, 1, 2, static_cast<uint8_t>(serial & 0xF)};
    site.baseUnits.push_back(unit);
  }
  site.udp = {true, "127.0.0.1", 0};
  SearchRig rig(site);
  rig.Watchers().Lan().SetSeeker(std::make_unique<Sorrel::LoopbackLanSeeker>(rig.Sim().UdpPort()));
  auto window = std::make_shared<TestWindowThread>();
  rig.GetManager().SetUiThread(window);
  auto answer = rig.Query(R"(jsquery:ComSearchLAN {"udpTimeoutSec":1})");
  EXPECT_EQ(rig.Serials(answer), (std::vector<std::string>{Hex(SerialOf(78, 9)),
                                                            Hex(SerialOf(80, 7))}));
  EXPECT_NE(answer.text.find(R"("ipAddr":"127.0.0.1","mac":"0-26-43-1-2-9")"), std::string::npos) << answer.text;
  EXPECT_EQ(rig.Watchers().Lan().TimeLimit(), 1);
  EXPECT_TRUE(rig.Watchers().Lan().HasParent());
  // Bad ports are refused before anything is sent.
  auto bad = rig.Query(R"(jsquery:ComSearchLAN {"udpRecvPort":-1})");
  EXPECT_EQ(bad.text, R"({"code1":-2,"msg":"Invalid arguments : 'udpRecvPort' value is invalid."})");
  rig.GetManager().SetUiThread(nullptr);
}

// What the library's run gives decides the page's answer: units, none, or
// a failure when every local address refused to send, which must not read
// as an empty network.
class RunResultSeeker : public Sorrel::LanSeeker {
 public:
  explicit RunResultSeeker(int32_t result) : result_(result) {}
  int32_t DoSearch(void*, uint16_t, int32_t) override { return result_; }
  bool GetSearchInfo(uint32_t index, Sorrel::LanSearchRecord& record) override {
    if (index > 0 || result_ < 1) return false;
    std::snprintf(record.serial, sizeof record.serial, "%08X", SerialOf(78, 5));
    std::snprintf(record.name, sizeof record.name, "ONLY");
    return true;
  }
  void CloseSearch() override {}

 private:
  int32_t result_;
};

TEST(LanSearchRunResult, EveryAddressRefusedIsAFailureNotAnEmptyNetwork) {
  struct Case {
    int32_t run;
    size_t units;
    const char* failure;  // nullptr: a success
  } cases[] = {
      {1, 1, nullptr},
      {0, 0, nullptr},
      {-1, 0, nullptr},  // a run that could not be set up stays an empty answer
      {-2, 0, R"j({"code1":0,"msg":"method error : no network interface could send the search (see UdpResult.txt)"})j"},
  };
  for (const Case& c : cases) {
    SearchRig rig(SiteOf({}));
    rig.Watchers().Lan().SetSeeker(std::make_unique<RunResultSeeker>(c.run));
    auto window = std::make_shared<TestWindowThread>();
    rig.GetManager().SetUiThread(window);
    auto answer = rig.Query(R"(jsquery:ComSearchLAN {"udpTimeoutSec":1})");
    if (c.failure) {
      EXPECT_FALSE(answer.success) << c.run;
      EXPECT_EQ(answer.text, c.failure);
    } else {
      EXPECT_TRUE(answer.success) << c.run << " " << answer.text;
      EXPECT_EQ(rig.Serials(answer).size(), c.units) << c.run;
    }
    rig.GetManager().SetUiThread(nullptr);
  }
}

}  // namespace
}  // namespace search_test
