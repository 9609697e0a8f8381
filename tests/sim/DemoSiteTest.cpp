// The built-in demo site shows every flow of the technician's page something
// real: a site of three groups behind the LAN base unit (the one whose
// registration RSETF reads), routes through two repeaters, a weak hop, a low
// battery, a unit that never answers and a noisy channel, all through the
// simulator's radio model.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "SimTestSupport.h"

using com::vantor::ExecutorVela;
using simtest::DemoSite;

namespace {

struct Reading {
  int number, level, battery;
};

class DemoSiteFlows : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(site.Started()) << site.Error();
    ASSERT_EQ(site.OpenLan(executor).status, 0);
  }
  // An EWLEX survey along the registered route; its STATUS and the readings.
  std::pair<std::string, std::vector<Reading>> Survey(int channel, std::uint32_t serial, int num, int parent) {
    auto survey = simtest::Radio("EWLEX", channel, simtest::FarId(serial, num, parent));
    executor.Execute(*survey, 0);
    std::string level(survey->GetRecvField("LEVEL").value_or(""));
    std::vector<Reading> readings;
    for (size_t i = 0; i + 2 < level.size(); i += 3) {
      auto byte = [&](size_t k) { return static_cast<unsigned char>(level[i + k]); };
      readings.push_back({byte(0), byte(1), byte(2)});
    }
    return {survey->GetStatusText(), readings};
  }

  DemoSite site{20};
  ExecutorVela executor;
};

TEST_F(DemoSiteFlows, TheLanBaseUnitRunsABelievableSite) {
  const auto* base = site->Site().FindBaseUnit(simtest::kLanBase);
  ASSERT_NE(base, nullptr);
  EXPECT_GE(base->groups.size(), 3u);
  size_t units = 0;
  std::set<int> models;
  for (const auto& g : base->groups) {
    units += g.remoteUnits.size();
    for (const auto& u : g.remoteUnits) models.insert(linkmeter::sim::ModelCode(u.serial));
  }
  EXPECT_GE(units, 18u);
  EXPECT_GE(models.size(), 6u);
}

TEST_F(DemoSiteFlows, SurveysShowTwoRepeatersAWeakHopALowBatteryAndASilentUnit) {
  auto [status, deep] = Survey(25, 0x00C20202, 2, 2);  // LEVEL-V behind repeaters 1 and 2
  EXPECT_EQ(status, "0004-0000");
  ASSERT_EQ(deep.size(), 3u);
  EXPECT_EQ(deep[0].number, 1);
  EXPECT_EQ(deep[1].number, 2);
  // Not weak (80..99) at any hour: the slow fading moves a level by up to 8.
  for (const auto& hop : deep) EXPECT_GE(hop.level, 100) << "a sound route: only ORCHARD has a weak hop";

  auto [weakStatus, orchard] = Survey(24, 0x00BC0502, 2, 2);  // APPLE-2: repeater 2 stands far out
  EXPECT_EQ(weakStatus, "0004-0000");
  ASSERT_EQ(orchard.size(), 3u);
  EXPECT_LT(orchard[1].level, 100);
  EXPECT_GE(orchard[0].level, 105);
  EXPECT_GE(orchard[2].level, 130);

  auto [lowStatus, cold] = Survey(24, 0x00C60507, 7, 1);  // COLD-RM
  ASSERT_EQ(cold.size(), 2u);
  EXPECT_LE(cold[1].battery, 15);

  auto [silentStatus, silent] = Survey(24, 0x00B80505, 5, 2);  // PEAR-3 never answers
  EXPECT_EQ(silentStatus, "0004-0002");
  EXPECT_EQ(silent.size(), 2u) << "the repeaters on the way still answer";
}

TEST_F(DemoSiteFlows, OneChannelIsNoisierThanTheQuietOnes) {
  const auto* base = site->Site().FindBaseUnit(simtest::kLanBase);
  std::set<int> own;
  for (const auto& g : base->groups) own.insert(g.freq);
  const std::int64_t now = 1'800'000'000;
  const linkmeter::sim::RadioModel radio(site->Site().radio, now);
  const int noisy = radio.ChannelLevel(28, own, base->interference, 0);
  for (int quiet : {5, 9, 33}) EXPECT_GT(noisy, radio.ChannelLevel(quiet, own, base->interference, 0) + 40);
}

// Rounds of a channel scan teach something: levels vary from reading to
// reading, the interferer is sometimes gone, and a seed repeats them exactly.
TEST_F(DemoSiteFlows, ChannelLevelsVaryByRoundAndTheInterfererComesAndGoes) {
  const auto* base = site->Site().FindBaseUnit(simtest::kLanBase);
  std::set<int> own;
  for (const auto& g : base->groups) own.insert(g.freq);
  const linkmeter::sim::RadioModel radio(site->Site().radio, 0);
  auto rounds = [&](const linkmeter::sim::RadioModel& r, int channel) {
    std::vector<int> levels;
    for (std::uint64_t n = 0; n < 30; ++n) levels.push_back(r.ChannelLevel(channel, own, base->interference, n));
    return levels;
  };
  const int ownChannel = *own.begin();
  for (int channel : {5, 28, ownChannel}) {
    SCOPED_TRACE(channel);
    const auto levels = rounds(radio, channel);
    EXPECT_GT(std::set<int>(levels.begin(), levels.end()).size(), 3u) << "rounds differ";
    EXPECT_EQ(levels, rounds(linkmeter::sim::RadioModel(site->Site().radio, 99), channel)) << "seeded";
  }
  const auto noisy = rounds(radio, 28);
  const int quietMax = std::ranges::max(rounds(radio, 5));
  const auto heard = std::ranges::count_if(noisy, [&](int l) { return l > quietMax + 40; });
  EXPECT_GT(heard, 10) << "the interferer is there most of the time";
  EXPECT_LT(heard, 30) << "and gone some of the time";
  auto reseeded = site->Site().radio;
  reseeded.seed += 1;
  EXPECT_NE(rounds(linkmeter::sim::RadioModel(reseeded, 0), 5), rounds(radio, 5));
}

}  // namespace
