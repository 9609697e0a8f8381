// First and last record times of EWSUC and EISUC against the simulator's own
// clock, one far unit or logger per dating rule: stopped with a full memory
// (VL-RA, 96, 98 with channel type 0x42 at 16000 bytes) dated by its age,
// and a model 97 with subtype 0xA5 dated from its start one interval on.

#include <gtest/gtest.h>

#include "../../cef/BridgeTestSupport.h"
#include "linkmeter/sim/RecordedData.h"
#include "linkmeter/sim/Simulator.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComRegistration.h"
#include "sorrel/com/ComServices.h"

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kBase = 0x009C0041;  // model 78, LAN
constexpr int kInterval = 10;

struct Unit {
  const char* rule;
  std::uint32_t serial;
  int subtype;
  int chType;
  std::int64_t stoppedAgoSec;
};

const Unit kUnits[] = {
    {"VL-RA 92 stopped, memory full", 0x00B80001, 0, 13, 3600},
    {"model 96 stopped, memory full", 0x00C00002, 0, 13, 1800},
    {"model 98 with 0x42 stopped, 16000 bytes full", 0x00C40003, 0, 0x42, 900},
    {"model 97 subtype 0xA5 recording", 0x00C20004, 0xA5, 13, 0},
    {"model 94 recording", 0x00BC0005, 0, 13, 0},
};

class RecordTimes : public ::testing::Test {
 protected:
  RecordTimes() : sim_(Site(), commands_, Options()) {
    std::string error;
    if (!sim_.Start(&error)) ADD_FAILURE() << error;
    Sorrel::Com::RegisterComFunctions(manager_, devices_);
    router_ = std::make_unique<Sorrel::cef::BsmsgRouter>(tasks_);
    router_->AttachFactory(manager_.SharedFactory());
  }
  ~RecordTimes() override { router_->Shutdown(); }

  static linkmeter::sim::SimulatorOptions Options() {
    linkmeter::sim::SimulatorOptions o;
    o.attachUsb = false;
    return o;
  }
  static linkmeter::sim::SiteSpec Site() {
    linkmeter::sim::SiteSpec site;
    site.radio.hopMs = 0;
    linkmeter::sim::BaseUnitSpec base;
    base.serial = kBase;
    base.lanPassword = "pw";
    linkmeter::sim::GroupSpec g;
    g.freq = 12;
    int num = 1;
    for (const Unit& u : kUnits) {
      linkmeter::sim::RemoteUnitSpec r;
      r.serial = u.serial;
      r.subtype = u.subtype;
      r.num = num++;
      r.intervalSec = kInterval;
      r.chTypes = {u.chType};
      r.stoppedAgoSec = u.stoppedAgoSec;
      g.remoteUnits.push_back(r);
    }
    base.groups.push_back(g);
    linkmeter::sim::RemoteUnitSpec logger;  // a VL-RA 93 brought in from the field
    logger.serial = 0x00BA0099;
    logger.intervalSec = kInterval;
    logger.chTypes = {13};
    logger.stoppedAgoSec = 600;
    base.optical = logger;
    site.baseUnits.push_back(base);
    return site;
  }

  lm::json::Object Call(const std::string& mnemonic, const std::string& more) {
    const std::string comInfo = R"({"com":3,"ipAddr":"127.0.0.1","port":)" + std::to_string(sim_.LanPort(kBase)) +
                                R"(,"lanPassword":"pw"})";
    auto cb = std::make_shared<bridge_test::RecordingCallback>();
    router_->OnQuery(browser_, next_++, "jsquery:ComTcmd" + mnemonic + " {\"comInfo\":" + comInfo + more + "}", false, cb);
    if (!cb->WaitFor(1, 30s)) return {};
    auto v = lm::json::Parse(cb->Answers()[0].text);
    return v && v->is<lm::json::Object>() ? v->get<lm::json::Object>() : lm::json::Object{};
  }
  std::int64_t SimLastRecord(std::uint32_t serial) {
    auto* unit = sim_.Unit(kBase);
    std::lock_guard lock(unit->mutex);
    return unit->lastRead.at(serial);
  }
  static std::uint64_t HeaderU16(const lm::json::Object& r, std::size_t at) {
    const auto& h = r.at("Header").get<lm::json::Array>();
    return static_cast<std::uint64_t>(h[at].get<double>()) | static_cast<std::uint64_t>(h[at + 1].get<double>()) << 8;
  }
  // The program's times against the simulator's: the age rule takes the PC
  // clock at the first answer, which may have moved on by a second.
  void ExpectTimes(const lm::json::Object& r, std::int64_t simLast, bool datedByAge) {
    const auto last = static_cast<std::int64_t>(r.at("LastDataTime").get<double>());
    if (datedByAge) {
      EXPECT_GE(last, simLast);
      EXPECT_LE(last, simLast + 1);
    } else {
      EXPECT_EQ(last, simLast);
    }
    const auto records = static_cast<std::int64_t>(r.at("Data").get<lm::json::Array>().size() / 2);
    EXPECT_EQ(static_cast<std::int64_t>(r.at("FirstDataTime").get<double>()), last - (records - 1) * kInterval);
  }

  const linkmeter::sim::CommandTable commands_ = linkmeter::sim::CommandTable::WithEveryCommand();
  linkmeter::sim::Simulator sim_;
  Sorrel::Com::ComServices devices_;
  Sorrel::cef::Manager manager_;
  Sorrel::cef::QueryTaskGroup tasks_{std::chrono::milliseconds(500)};
  std::unique_ptr<Sorrel::cef::BsmsgRouter> router_;
  Sorrel::cef::BrowserPtr browser_ = std::make_shared<bridge_test::FakeBrowser>();
  int64_t next_ = 1;
};

TEST_F(RecordTimes, FarUnitsAreDatedByTheirModelsRule) {
  int num = 1;
  for (const Unit& u : kUnits) {
    SCOPED_TRACE(u.rule);
    std::string id = "[254," + std::to_string(num++) + ",0,7";
    for (int i = 0; i < 4; ++i) id += "," + std::to_string((u.serial >> (8 * i)) & 0xFF);
    auto r = Call("EWSUC", ",\"CH\":12,\"ID\":" + id + "],\"MODE\":0,\"RANGE\":0");
    ASSERT_TRUE(r.count("isSuccess") && r["isSuccess"].get<bool>()) << lm::json::ToText(lm::json::Value(r));
    const bool stopped = u.stoppedAgoSec > 0;
    if (stopped) {
      // Full: the header still names the start of the recording, a week back.
      EXPECT_EQ(HeaderU16(r, 32), u.chType == 0x42 ? 16000u : 32000u);
    }
    ExpectTimes(r, SimLastRecord(u.serial), stopped);
  }
}

TEST_F(RecordTimes, StoppedLoggerOnTheOpticalPortIsDatedByItsAge) {
  auto r = Call("EISUC", "");
  ASSERT_TRUE(r.count("isSuccess") && r["isSuccess"].get<bool>()) << lm::json::ToText(lm::json::Value(r));
  EXPECT_EQ(HeaderU16(r, 32), 32000u);
  ExpectTimes(r, SimLastRecord(0x00BA0099), true);
}

}  // namespace
