// Multi-exchange radio conversations as the unit sees them, through a
// session: far-unit records in blocks after the air time, settings written
// by radio and read back, a cancelled write that never lands, and the
// radio model's levels and batteries.

#include <gtest/gtest.h>

#include <thread>

#include "linkmeter/sim/CommandTable.h"
#include "linkmeter/sim/RadioModel.h"
#include "linkmeter/sim/RecordedData.h"
#include "linkmeter/sim/SiteFile.h"
#include "linkmeter/sim/UnitSession.h"
#include "SimTestSupport.h"

namespace {

using com::vantor::FieldMap;
using com::vantor::TBody;
using linkmeter::sim::GetLe;

constexpr std::uint32_t kBoiler = 0x00C20104;  // VL-RD TC, behind repeaters 1 and 2
constexpr int kHopMs = 20;

class RadioConversation : public ::testing::Test {
 protected:
  RadioConversation()
      : site(Design()),
        radio(site.radio, Now()),
        unit(site.baseUnits[0], Now()),
        session(unit, radio, commands, transcript) {}

  static linkmeter::sim::SiteSpec Design() {
    auto s = linkmeter::sim::DemoSite();
    s.radio.hopMs = kHopMs;
    return s;
  }
  static std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
  }
  TBody Ask(const std::string& name, FieldMap fields) {
    auto reply = session.Answer(*com::vantor::BuildFrame(name, fields));
    return com::vantor::ParseFrame(reply.bytes).value_or(TBody{});
  }
  FieldMap Addressed(FieldMap extra = {}) {
    extra["CH"] = "12";
    extra["ID"] = simtest::FarId(kBoiler, 4, 2);
    return extra;
  }
  static std::string Status(const TBody& b) { return std::string(b.Find("STATUS").value_or("")); }
  static std::string Data(const TBody& b) { return std::string(b.Find("DATA").value_or("")); }
  // Polls with ACT 1 until the answer is no longer "working".
  TBody PollToEnd(const std::string& name) {
    for (int i = 0; i < 100; ++i) {
      TBody b = Ask(name, {{"ACT", "1"}});
      if (Status(b) != "0004-0001") return b;
      std::this_thread::sleep_for(std::chrono::milliseconds(kHopMs));
    }
    return {};
  }

  linkmeter::sim::SiteSpec site;
  linkmeter::sim::RadioModel radio;
  linkmeter::sim::Transcript transcript;
  linkmeter::sim::UnitState unit;
  const linkmeter::sim::CommandTable commands = linkmeter::sim::CommandTable::WithEveryCommand();
  linkmeter::sim::UnitSession session;
};

TEST_F(RadioConversation, FarRecordsArriveAfterTheAirTimeWithTheirHeaderInFront) {
  EXPECT_EQ(Status(Ask("EWSUC", Addressed({{"MODE", "2"}, {"RANGE", "300"}}))), "0004-0000");
  EXPECT_EQ(Status(Ask("EWSUC", Addressed({{"MODE", "9"}}))), "0004-0001") << "still in the air";
  std::this_thread::sleep_for(std::chrono::milliseconds(4 * kHopMs));

  TBody first = Ask("EWSUC", Addressed({{"MODE", "9"}}));
  ASSERT_EQ(Status(first), "0005-0000");
  std::string data = Data(first);
  const std::size_t size = std::stoul(std::string(first.Find("SIZE").value_or("0")));
  const std::size_t expected = GetLe(data, 30, 2);
  ASSERT_EQ(size - expected, 64u) << "the header is what SIZE holds beyond the data";
  EXPECT_EQ(expected, 600u) << "300 records of one 2-byte channel";
  EXPECT_EQ(GetLe(data, 36, 4), kBoiler);
  while (data.size() < size) {
    TBody next = Ask("EWSUC", Addressed({{"MODE", "9"}}));
    ASSERT_EQ(Status(next), "0005-0000");
    data += Data(next);
  }
  EXPECT_EQ(data.size(), size);
  EXPECT_EQ(Status(Ask("EWSUC", Addressed({{"MODE", "9"}}))), "0004-0003") << "nothing more to hand out";
}

TEST_F(RadioConversation, SettingsWrittenByRadioAreReadBackAsTheUnitsRecord) {
  std::string record = linkmeter::sim::DefaultSettingsRecord(site.baseUnits[0].groups[0].remoteUnits[3]);
  record[16] = 77;
  record[30] = 0x10;
  unit.settleMs = 300;
  EXPECT_EQ(Status(Ask("EWSTW", Addressed({{"ACT", "0"}, {"FORMAT", "0"}, {"DATA", record}}))), "0004-0000");
  EXPECT_EQ(Status(PollToEnd("EWSTW")), "0004-0000");

  // The program verifies by asking again with the whole request and ACT 1.
  // A thermocouple unit shows its new byte 16 only once it has settled.
  TBody early = Ask("EWSTW", Addressed({{"ACT", "1"}, {"FORMAT", "0"}, {"DATA", record}}));
  ASSERT_EQ(Data(early).size(), 64u);
  EXPECT_NE(Data(early)[16], 77);
  std::this_thread::sleep_for(std::chrono::milliseconds(350));
  TBody readBack = Ask("EWSTW", Addressed({{"ACT", "1"}, {"FORMAT", "0"}, {"DATA", record}}));
  EXPECT_EQ(Status(readBack), "0004-0000");
  ASSERT_EQ(Data(readBack).size(), 64u);
  EXPECT_EQ(Data(readBack)[16], 77);
  EXPECT_EQ(GetLe(Data(readBack), 36, 4), kBoiler);
  EXPECT_EQ(static_cast<unsigned char>(Data(readBack)[62]), 161);

  Ask("EWSTR", Addressed({{"ACT", "0"}}));
  EXPECT_EQ(Data(PollToEnd("EWSTR")), Data(readBack));
}

TEST_F(RadioConversation, CancelledWriteNeverLands) {
  Ask("EWOLW", Addressed({{"ACT", "0"}, {"DATA", std::string(64, 'w')}}));
  EXPECT_EQ(Status(Ask("EWOLW", {{"ACT", "2"}})), "0004-0000");
  std::this_thread::sleep_for(std::chrono::milliseconds(4 * kHopMs));
  EXPECT_EQ(Status(PollToEnd("EWOLW")), "0004-0008");
  Ask("EWOLR", Addressed({{"ACT", "0"}}));
  EXPECT_NE(Data(PollToEnd("EWOLR")), std::string(64, 'w'));
  EXPECT_EQ(Status(Ask("EWOLR", {{"ACT", "2"}})), "0004-0003") << "nothing left to cancel";
}

TEST_F(RadioConversation, ExplicitRelaysAndHopLimitsShapeTheRoute) {
  // Straight to repeater 2, skipping 1: one hop fewer, a longer second leg.
  Ask("EWLEX", Addressed({{"ACT", "0"}, {"RELAY", std::string("\x02", 1)}, {"ROUTE", "1"}}));
  std::string level(PollToEnd("EWLEX").Find("LEVEL").value_or(""));
  ASSERT_EQ(level.size(), 6u);
  EXPECT_EQ(level[0], 2);
  EXPECT_EQ(level[3], 4);

  Ask("EWLEX", Addressed({{"ACT", "0"}, {"MAX", "2"}}));
  EXPECT_EQ(Status(PollToEnd("EWLEX")), "0004-0002") << "three hops do not fit in two";
  EXPECT_EQ(Status(Ask("EWLEX", {{"ACT", "0"}, {"CH", "12"}, {"ID", "short"}})), "0004-0004");
}

TEST(RadioModel, LevelsFallWithDistanceAndBatteriesDrain) {
  linkmeter::sim::RadioModel model({.hopMs = 0, .cancelMs = 0, .rangeM = 2500, .seed = 3}, 1'700'000'000);
  const std::int64_t t = 1'700'000'000;
  int near = *model.LinkLevel(20, 1, t), mid = *model.LinkLevel(500, 1, t), far = *model.LinkLevel(2400, 1, t);
  EXPECT_GT(near, mid + 20);
  EXPECT_GT(mid, far + 10);
  EXPECT_FALSE(model.LinkLevel(2600, 1, t));
  EXPECT_EQ(model.LinkLevel(500, 9, t + 7), model.LinkLevel(500, 9, t + 7)) << "deterministic";
  EXPECT_LE(std::abs(*model.LinkLevel(500, 9, t) - *model.LinkLevel(500, 9, t + 3600)), 20) << "wanders, no jumps";

  int fresh = model.Battery(80, 1.0, 5, t);
  int month = model.Battery(80, 1.0, 5, t + 30 * 86400);
  EXPECT_NEAR(fresh, 80, 2);
  EXPECT_NEAR(month, 50, 2);
  EXPECT_EQ(model.Battery(5, 1.0, 5, t + 30 * 86400), 0) << "never below empty";
}

}  // namespace
