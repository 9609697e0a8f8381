// Catalogue commands against the simulator over real sockets: surveys along
// routes, cancelled and unreachable ones, the block reads and the verify
// loops, each through the page functions.

#include <gtest/gtest.h>

#include <thread>

#include "ComSimRig.h"

using namespace comsim;
using namespace std::chrono_literals;
using linkmeter::sim::FaultKind;

namespace {

// The demo's group GH-NORTH on channel 12: ID is number, parent, then serial.
std::string Id(uint32_t serial, int num, int parent) {
  std::string id = "[254," + std::to_string(num) + "," + std::to_string(parent) + ",7";
  for (int i = 0; i < 4; ++i) id += "," + std::to_string((serial >> (8 * i)) & 0xFF);
  return id + "]";
}

constexpr uint32_t kFieldTh = 0x00BC0103;  // behind repeaters 1 and 2
constexpr uint32_t kBoiler = 0x00C20104;   // subtype 161, behind repeaters 1 and 2
constexpr uint32_t kOptical = 0x00C20199;  // the logger on the optical port

class CatalogueSim : public ::testing::Test {
 protected:
  explicit CatalogueSim(int hopMs = 40) : rig(hopMs) {}
  lm::json::Object Call(const std::string& mnemonic, const std::string& more) {
    auto answer = rig.Query("jsquery:ComTcmd" + mnemonic + " {\"comInfo\":" + rig.UsbComInfo() + more + "}");
    EXPECT_TRUE(answer.success) << answer.text;
    return Obj(answer);
  }
  std::vector<int> Numbers(const lm::json::Value& signals) {
    std::vector<int> n;
    for (const auto& s : signals.get<lm::json::Array>()) n.push_back(static_cast<int>(s.get("number").get<double>()));
    return n;
  }
  // A settings record asking for read-back, for the unit `serial` (bytes 6..9).
  static std::string Record(int byte16, uint32_t serial = kOptical) {
    std::string r = ",\"SendData\":[";
    for (int i = 0; i < 64; ++i) {
      int v = i == 30 ? 0x10 : i == 16 ? byte16 : 0;
      if (i >= 6 && i < 10) v = static_cast<int>((serial >> (8 * (i - 6))) & 0xFF);
      r += (i ? "," : "") + std::to_string(v);
    }
    return r + "]";
  }
  ComSimRig rig;
};

TEST_F(CatalogueSim, SurveyThroughTwoRepeatersGivesEveryHop) {
  auto r = Call("EWLEX", ",\"CH\":12,\"ID\":" + Id(kFieldTh, 3, 2));
  EXPECT_TRUE(r["isSuccess"].get<bool>());
  EXPECT_EQ(Numbers(r["Signals"]), (std::vector<int>{1, 2, 3}));
  for (const auto& s : r["Signals"].get<lm::json::Array>()) {
    EXPECT_GT(s.get("level").get<double>(), 0);
    EXPECT_LE(s.get("battery").get<double>(), 100);
  }
  // An unreachable far unit: the hops that answered, and no success.
  auto rule = Fault("EWLEX", FaultKind::kUnreachable, -1);
  rule.unit = kFieldTh;
  rig.Sim().InjectFault(kUsbUnit, rule);
  auto lost = Call("EWLEX", ",\"CH\":12,\"ID\":" + Id(kFieldTh, 3, 2));
  EXPECT_FALSE(lost["isSuccess"].get<bool>());
  EXPECT_EQ(lost["STATUS"].get<std::string>(), "0004-0002");
  EXPECT_EQ(Numbers(lost["Signals"]), (std::vector<int>{1, 2}));
}

class SlowAir : public CatalogueSim {
 protected:
  SlowAir() : CatalogueSim(1500) {}
};

TEST_F(SlowAir, CancelledSurveySendsAct2) {
  auto cb = std::make_shared<bridge_test::RecordingCallback>();
  int64_t id = rig.Send("jsquery:ComTcmdEWLEX {\"comInfo\":" + rig.UsbComInfo() + ",\"CH\":12,\"ID\":" +
                            Id(kFieldTh, 3, 2) + "}",
                        cb);
  std::this_thread::sleep_for(700ms);
  EXPECT_EQ(rig.Query("jsquery:cancel " + std::to_string(id)).text, "null");
  ASSERT_TRUE(cb->WaitFor(1, 20s));
  auto r = Obj(cb->Answers()[0]);
  EXPECT_TRUE(r["isCancel"].get<bool>());
  std::vector<std::string> acts;
  for (const auto& body : rig.Received(kUsbUnit, "EWLEX")) acts.emplace_back(*body.Find("ACT"));
  EXPECT_NE(std::find(acts.begin(), acts.end(), "2"), acts.end());
}

TEST_F(CatalogueSim, FarUnitClockSetByEwptmIsWhatEwrscReports) {
  const std::string far = ",\"CH\":12,\"ID\":" + Id(kFieldTh, 3, 2);
  auto set = Call("EWPTM", far + ",\"DiffTime\":0,\"TimeOffset\":-86400");
  EXPECT_TRUE(set["isSuccess"].get<bool>());
  auto now = Call("EWRSC", far + ",\"FORMAT\":0");
  ASSERT_TRUE(now["isSuccess"].get<bool>());
  const auto pcNow = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
  EXPECT_NEAR(now["TIME"].get<double>(), static_cast<double>(pcNow - 86400), 3);
  EXPECT_FALSE(now["DATA"].get<lm::json::Array>().empty());
}

TEST_F(CatalogueSim, BlockReadsOfTheBaseUnit) {
  auto logs = Call("ELOGS", ",\"MODE\":0");
  EXPECT_TRUE(logs["isSuccess"].get<bool>());
  ASSERT_GE(logs["logs"].get<lm::json::Array>().size(), 3u);
  EXPECT_EQ(logs["logs"].get<lm::json::Array>()[0].get("str").get<std::string>(), "Power on");

  auto trend = Call("ETRND", "");
  EXPECT_TRUE(trend["isSuccess"].get<bool>());
  EXPECT_GT(rig.Received(kUsbUnit, "ETRND").size(), 1u);

  auto lan = Call("ETLAN", ",\"ACT\":1,\"MODE\":0");
  EXPECT_TRUE(lan["isSuccess"].get<bool>());
  EXPECT_EQ(rig.Received(kUsbUnit, "ETLAN").size(), 3u);

  auto recorded = Call("EISUC", "");
  EXPECT_TRUE(recorded["isSuccess"].get<bool>());
  EXPECT_EQ(recorded["Header"].get<lm::json::Array>().size(), 64u);
  EXPECT_FALSE(recorded["Data"].get<lm::json::Array>().empty());
  EXPECT_LE(recorded["FirstDataTime"].get<double>(), recorded["LastDataTime"].get<double>());
}

TEST_F(CatalogueSim, EisucGivesUpAfterThreeFailedBlocks) {
  auto rule = Fault("EISUC", FaultKind::kStatus, 3);
  rule.after = 1;
  rule.status = {5, 2};
  rig.Sim().InjectFault(kUsbUnit, rule);
  auto r = Call("EISUC", "");
  EXPECT_FALSE(r["isSuccess"].get<bool>());
  EXPECT_FALSE(r.count("Data"));
  EXPECT_EQ(rig.Received(kUsbUnit, "EISUC").size(), 4u);
}

TEST_F(CatalogueSim, FarUnitRecordsDateTheirRecordsByTheSimulatorsClock) {
  auto r = Call("EWSUC", ",\"CH\":12,\"ID\":" + Id(kFieldTh, 3, 2) + ",\"MODE\":0,\"RANGE\":0");
  ASSERT_TRUE(r["isSuccess"].get<bool>());
  auto* unit = rig.Sim().Unit(kUsbUnit);
  std::int64_t simLast;
  {
    std::lock_guard lock(unit->mutex);
    simLast = unit->lastRead.at(kFieldTh);
  }
  EXPECT_EQ(static_cast<std::int64_t>(r["LastDataTime"].get<double>()), simLast);
  const auto records = static_cast<std::int64_t>(r["Data"].get<lm::json::Array>().size() / 4);  // two 2-byte channels
  EXPECT_EQ(static_cast<std::int64_t>(r["FirstDataTime"].get<double>()), simLast - (records - 1) * 600);
}

TEST_F(CatalogueSim, SettingsVerifyWaitsForTheRecordToSettle) {
  {
    auto* unit = rig.Sim().Unit(kUsbUnit);
    std::lock_guard lock(unit->mutex);
    unit->optical->design.subtype = 161;
  }
  auto r = Call("EISET", Record(77));
  EXPECT_TRUE(r["isSuccess"].get<bool>());
  EXPECT_GE(rig.Received(kUsbUnit, "EISET").size(), 3u);  // the write, a stale read-back, the match

  auto w = Call("EWSTW", ",\"CH\":12,\"ID\":" + Id(kBoiler, 4, 2) + ",\"FORMAT\":0" +
                             std::string(",\"DATA\":") + Record(78).substr(std::string(",\"SendData\":").size()));
  EXPECT_TRUE(w["isSuccess"].get<bool>());
}

TEST_F(CatalogueSim, VerifyThatNeverMatchesFailsWithItsCode) {
  {
    auto* unit = rig.Sim().Unit(kUsbUnit);
    std::lock_guard lock(unit->mutex);
    unit->optical->design.subtype = 162;
    unit->settleMs = 60000;
  }
  auto answer = rig.Query("jsquery:ComTcmdEISET {\"comInfo\":" + rig.UsbComInfo() + Record(77) + "}");
  EXPECT_EQ(answer.text, R"({"code1":500,"code2":0,"msg":"TcmdEISETValid"})");
  answer = rig.Query("jsquery:ComTcmdEWSTW {\"comInfo\":" + rig.UsbComInfo() + ",\"CH\":12,\"ID\":" +
                     Id(kBoiler, 4, 2) + ",\"FORMAT\":0,\"DATA\":" +
                     Record(79).substr(std::string(",\"SendData\":").size()) + "}");
  EXPECT_EQ(answer.text, R"({"code1":520,"code2":0,"msg":"TcmdEWSTWValid"})");
}

TEST_F(CatalogueSim, FarUnitThatNeverSendsItsHeaderTimesOut) {
  auto rule = Fault("EWSUC", FaultKind::kStatus, -1);
  rule.after = 1;
  rule.status = {4, 1};
  rig.Sim().InjectFault(kUsbUnit, rule);
  auto cb = std::make_shared<bridge_test::RecordingCallback>();
  rig.Send("jsquery:ComTcmdEWSUC {\"comInfo\":" + rig.UsbComInfo() + ",\"CH\":12,\"ID\":" + Id(kFieldTh, 3, 2) +
               ",\"MODE\":0,\"RANGE\":0}",
           cb);
  ASSERT_TRUE(cb->WaitFor(1, 45s));  // the bound is 30 s without a header
  auto r = Obj(cb->Answers()[0]);
  EXPECT_TRUE(r["isTimeout"].get<bool>());
  EXPECT_FALSE(r["isSuccess"].get<bool>());
  EXPECT_EQ(r["msg"].get<std::string>(), "timeout");
}

}  // namespace
