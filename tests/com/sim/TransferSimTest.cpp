// Registration transfer and the clock against the simulator: what RSETF
// reads is the site's registration, WSETF changes it, a corrupt stream gives
// no registration, and the clock keeps the offset WDTIM set.

#include <gtest/gtest.h>

#include <mutex>

#include "ComSimRig.h"
#include "linkmeter/sim/SiteFile.h"

using namespace comsim;
using linkmeter::sim::FaultKind;

namespace {

using lm::json::Array;
using lm::json::Object;

class TransferSim : public ::testing::Test {
 protected:
  Object Call(const std::string& mnemonic, const std::string& comInfo, const std::string& more = "") {
    auto answer = rig.Query("jsquery:ComTcmd" + mnemonic + " {\"comInfo\":" + comInfo + more + "}");
    EXPECT_TRUE(answer.success) << answer.text;
    return Obj(answer);
  }
  Object Lan(const std::string& mnemonic, const std::string& more = "") { return Call(mnemonic, rig.LanComInfo(), more); }

  ComSimRig rig;
};

std::string Hex8(std::uint32_t n) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", n);
  return text;
}

const Object& Element(const Object& o, const std::string& key, std::size_t i) {
  return o.at(key).get<Array>().at(i).get<Object>();
}
double Num(const Object& o, const std::string& key) { return o.at(key).get<double>(); }

TEST_F(TransferSim, RsetfReadsTheRegistrationTheSiteDescribes) {
  auto r = Lan("RSETF");
  ASSERT_TRUE(r["isSuccess"].get<bool>()) << lm::json::ToText(lm::json::Value(r));
  EXPECT_EQ(r["SAVE"].get<double>(), 1);
  const linkmeter::sim::SiteSpec demo = linkmeter::sim::DemoSite();
  const auto& site = *demo.FindBaseUnit(kLanUnit);
  const Object& reg = r["regInfo"].get<Object>();
  EXPECT_EQ(reg.at("serial").get<std::string>(), Hex8(site.serial));
  ASSERT_EQ(reg.at("groups").get<Array>().size(), site.groups.size());
  for (std::size_t g = 0; g < site.groups.size(); ++g) {
    const auto& want = site.groups[g];
    const Object& got = Element(reg, "groups", g);
    SCOPED_TRACE(want.name);
    EXPECT_EQ(got.at("name").get<std::string>(), want.name);
    EXPECT_EQ(Num(got, "freq"), want.freq);
    EXPECT_EQ(Num(got, "band"), want.band);
    for (std::size_t i = 0; i < want.id.size(); ++i) EXPECT_EQ(got.at("id").get<Array>().at(i).get<double>(), want.id[i]);
    ASSERT_EQ(got.at("repeaters").get<Array>().size(), want.repeaters.size());
    for (std::size_t i = 0; i < want.repeaters.size(); ++i) {
      const Object& rep = Element(got, "repeaters", i);
      EXPECT_EQ(rep.at("serial").get<std::string>(), Hex8(want.repeaters[i].serial));
      EXPECT_EQ(Num(rep, "num"), want.repeaters[i].num);
      EXPECT_EQ(Num(rep, "parent"), want.repeaters[i].parent);
    }
    ASSERT_EQ(got.at("remoteUnits").get<Array>().size(), want.remoteUnits.size());
    for (std::size_t i = 0; i < want.remoteUnits.size(); ++i) {
      const Object& unit = Element(got, "remoteUnits", i);
      EXPECT_EQ(unit.at("serial").get<std::string>(), Hex8(want.remoteUnits[i].serial));
      EXPECT_EQ(unit.at("name").get<std::string>(), want.remoteUnits[i].name);
      EXPECT_EQ(Num(unit, "num"), want.remoteUnits[i].num);
      EXPECT_EQ(Num(unit, "parent"), want.remoteUnits[i].parent);
      EXPECT_FALSE(unit.at("model").get<std::string>().empty());
    }
  }
}

TEST_F(TransferSim, WsetfThenRsetfReadsBackTheSavedRegistration) {
  auto before = Lan("RSETF");
  ASSERT_TRUE(before["isSuccess"].get<bool>());
  lm::json::Value reg = before["regInfo"];
  Object& first = reg.get<Object>()["groups"].get<Array>()[0].get<Object>();
  first["name"] = lm::json::String("RENAMED");
  first["remoteUnits"].get<Array>().pop_back();

  auto written = Lan("WSETF", ",\"SAVE\":1,\"SendBufferSize\":200,\"regInfo\":" + lm::json::ToText(reg));
  ASSERT_TRUE(written["isSuccess"].get<bool>()) << lm::json::ToText(lm::json::Value(written));
  auto frames = rig.Received(kLanUnit, "WSETF");
  ASSERT_GE(frames.size(), 4u);
  EXPECT_EQ(*frames.front().Find("SAVE"), "0");
  EXPECT_EQ(*frames[2].Find("OFFSET"), "200");
  EXPECT_EQ(*frames.back().Find("SAVE"), "1");

  auto after = Lan("RSETF");
  ASSERT_TRUE(after["isSuccess"].get<bool>());
  EXPECT_EQ(lm::json::ToText(after["regInfo"]), lm::json::ToText(reg));
  EXPECT_EQ(after["VER"].get<double>(), before["VER"].get<double>() + 1);
}

TEST_F(TransferSim, CorruptStreamAndRefusedModelsGiveNoRegistration) {
  auto corrupt = Fault("RSETF", FaultKind::kCorrupt, 1);
  corrupt.field = "DATA";
  corrupt.at = 16 + 2;  // the first group record's type byte
  rig.Sim().InjectFault(kLanUnit, corrupt);
  auto r = Lan("RSETF");
  EXPECT_FALSE(r["isSuccess"].get<bool>());
  EXPECT_FALSE(r.count("regInfo"));

  // The USB unit is a model 77: it keeps no registration a PC may read or write.
  for (const char* mnemonic : {"RSETF", "WSETF"}) {
    auto refused = rig.Query(std::string("jsquery:ComTcmd") + mnemonic + " {\"comInfo\":" + rig.UsbComInfo() +
                             ",\"SendData\":[0,0,0,0]}");
    EXPECT_FALSE(refused.success) << mnemonic;
    EXPECT_EQ(refused.text, R"({"code1":0,"msg":"Invalid arguments : このAPIは指定したcomInfo(VL-BA)に対応していません。"})")
        << mnemonic;
  }
  EXPECT_TRUE(rig.Received(kUsbUnit, "RSETF").empty());
}

TEST_F(TransferSim, ClockKeepsTheOffsetWdtimSetAndIsPolledWhileBusy) {
  {
    auto* unit = rig.Sim().Unit(kUsbUnit);
    std::lock_guard lock(unit->mutex);
    unit->clockBusyMs = 500;
  }
  auto set = Call("WDTIM", rig.UsbComInfo(), R"(,"TimeOffset":-3600,"SYNC":1)");
  ASSERT_TRUE(set["isSuccess"].get<bool>()) << lm::json::ToText(lm::json::Value(set));
  auto read = Call("RDTIM", rig.UsbComInfo());
  ASSERT_TRUE(read["isSuccess"].get<bool>()) << lm::json::ToText(lm::json::Value(read));
  EXPECT_NEAR(read["TimeOffset"].get<double>(), -3600, 2);
  EXPECT_EQ(read["SYNC"].get<double>(), 1);
  EXPECT_EQ(read["BIAS"].get<double>(), 540);
  EXPECT_GE(rig.Received(kUsbUnit, "RDTIM").size(), 2u);  // asked again while the clock settled
}

}  // namespace
