// The alarm rules over sequences of rounds on a small site with a fake
// clock (each round one minute after the last): raising N of M, clearing
// past the hysteresis, the silent repeater and what is behind it, the
// battery that is replaced, flapping, silences, and a restart mid-way.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "lm/monitor/rules/AlarmEngine.h"
#include "lm/monitor/rules/AlarmState.h"

using namespace lm::monitor;

namespace {

// The site: base unit B; repeater R1 by radio from B, repeater R2 behind
// R1; U1 straight from B, U2 behind R1 and R2.
const std::string kSite = "009A0011";
const std::string R1 = "00C80101", R2 = "00C80102", U1 = "00B80101", U2 = "00BC0103";

struct Unit {
  std::string serial, label;
  bool repeater;
  std::vector<std::string> via;
};
const std::vector<Unit> kUnits = {
    {R1, "R1", true, {}}, {R2, "R2", true, {R1}}, {U1, "HOUSE-1", false, {}}, {U2, "FIELD", false, {R1, R2}}};

// One round: units not heard, hop levels and batteries other than the
// defaults (level 150, battery 90).
struct Round {
  std::set<std::string> silent;
  std::map<std::string, double> level;    // by far end
  std::map<std::string, double> battery;  // by unit
};

std::string From(const Unit& u) { return u.via.empty() ? kSite : u.via.back(); }

RoundObservation Observe(const Round& r, int64_t at) {
  RoundObservation round{kSite, "GREENHOUSE", at, {}, {}};
  for (const Unit& u : kUnits) {
    const bool viaSilent = std::any_of(u.via.begin(), u.via.end(), [&](const std::string& v) { return r.silent.count(v); });
    const bool heard = !r.silent.count(u.serial) && !viaSilent;
    const double level = r.level.count(u.serial) ? r.level.at(u.serial) : 150;
    const double battery = r.battery.count(u.serial) ? r.battery.at(u.serial) : 90;
    HopSample hop{From(u), u.serial, 3, heard ? 3 : 0, std::nullopt, heard ? (level < 80 ? "bad" : "good") : "silent"};
    if (heard) hop.median = level;
    if (!viaSilent) round.hops.push_back(hop);
    UnitSample unit{u.serial, u.label, u.repeater, heard, std::nullopt, "none", u.via};
    if (heard) unit.battery = battery, unit.batteryClass = battery >= 30 ? "ok" : battery >= 10 ? "low" : "empty";
    round.units.push_back(unit);
  }
  return round;
}

constexpr int64_t kStart = 1'765'000'000'000;
constexpr int64_t kMinute = 60'000;

// "3 firing RepeaterSilent 00C80102 [00BC0103]": round number (from 1),
// status, alert name, subject and the units behind it.
std::string NoticeText(int round, const Notice& n) {
  std::string text = std::to_string(round) + " " + n.status + " " + n.alertname + " " + (n.hop.empty() ? n.unit : n.hop);
  if (!n.unreachable.empty()) {
    text += " [";
    for (size_t i = 0; i < n.unreachable.size(); ++i) text += (i ? " " : "") + n.unreachable[i];
    text += "]";
  }
  return text;
}

struct Outcome {
  std::vector<std::string> notices, events;
};

// Runs the rounds from `state`; `silences` maps a round number to the
// silences in force then.
Outcome RunRounds(const std::vector<Round>& rounds, EngineState& state, const AlarmRules& rules = {},
              std::map<int, Silences> silences = {}, int first = 1) {
  AlarmEngine engine(rules);
  Outcome run;
  for (size_t i = 0; i < rounds.size(); ++i) {
    const int n = first + static_cast<int>(i);
    const RoundOutcome out = engine.Step(state, Observe(rounds[i], kStart + n * kMinute), silences[n]);
    for (const Notice& notice : out.notices) run.notices.push_back(NoticeText(n, notice));
    for (const AlarmEvent& e : out.events) run.events.push_back(std::to_string(n) + " " + e.kind + " " + e.key);
  }
  return run;
}

std::vector<Round> Repeat(const Round& r, int times) { return std::vector<Round>(times, r); }

std::vector<Round> Join(std::initializer_list<std::vector<Round>> parts) {
  std::vector<Round> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const Round kGood{};
Round Level(double v) { return Round{{}, {{U1, v}}, {}}; }
Round Silent(std::set<std::string> s) { return Round{std::move(s), {}, {}}; }
Round Battery(double v) { return Round{{}, {}, {{U1, v}}}; }

TEST(AlarmEngine, RulesOverSequencesOfRounds) {
  struct Case {
    const char* name;
    std::vector<Round> rounds;
    std::vector<std::string> notices;
  } cases[] = {
      {"one bad round of three raises nothing", {Level(60), kGood, kGood, Level(60), kGood, kGood}, {}},
      {"two bad of the last three raise once", {Level(60), kGood, Level(70), Level(60), Level(60)},
       {"3 firing LinkDegraded " + kSite + "-" + U1}},
      {"clearing needs K rounds past weak plus the hysteresis",
       Join({Repeat(Level(60), 2), Repeat(Level(82), 5), Repeat(Level(86), 2), {Level(60)}, Repeat(Level(86), 3)}),
       {"2 firing LinkDegraded " + kSite + "-" + U1, "13 resolved LinkDegraded " + kSite + "-" + U1}},
      {"a silent unit raises after two of three and clears after three heard",
       Join({Repeat(Silent({U1}), 2), Repeat(kGood, 3)}),
       {"2 firing UnitSilent " + U1, "5 resolved UnitSilent " + U1}},
      {"a silent repeater is one alarm naming the units behind it",
       Join({Repeat(Silent({R2}), 3), Repeat(kGood, 3)}),
       {"2 firing RepeaterSilent " + R2 + " [" + U2 + "]", "6 resolved RepeaterSilent " + R2 + " [" + U2 + "]"}},
      {"the first repeater silent: the second one and its unit are unreachable",
       Repeat(Silent({R1}), 3), {"2 firing RepeaterSilent " + R1 + " [" + R2 + " " + U2 + "]"}},
      {"a low battery clears only past the boundary plus the hysteresis",
       {Battery(25), Battery(25), Battery(35), Battery(39), Battery(40)},
       {"2 firing BatteryLow " + U1, "5 resolved BatteryLow " + U1}},
      {"a replaced battery clears at once", {Battery(8), Battery(8), Battery(100)},
       {"2 firing BatteryLow " + U1, "3 resolved BatteryLow " + U1}},
  };
  for (const Case& c : cases) {
    EngineState state;
    EXPECT_EQ(RunRounds(c.rounds, state).notices, c.notices) << c.name;
  }
}

TEST(AlarmEngine, FlappingHoldsNoticesUntilStable) {
  // Silent every other round after the raise: flapping, so the resolve is
  // held until the count of changes falls, then told once.
  std::vector<Round> rounds = Repeat(Silent({U1}), 2);
  for (int i = 0; i < 10; ++i) rounds.push_back(i % 2 ? Silent({U1}) : kGood);
  const std::vector<Round> steady = Repeat(kGood, 21);
  rounds.insert(rounds.end(), steady.begin(), steady.end());
  EngineState state;
  const Outcome run = RunRounds(rounds, state);
  ASSERT_EQ(run.notices.size(), 2u) << ::testing::PrintToString(run.notices);
  EXPECT_EQ(run.notices[0], "2 firing UnitSilent " + U1);
  EXPECT_NE(run.notices[1].find(" resolved UnitSilent " + U1), std::string::npos);
  const auto flapping = std::find_if(run.events.begin(), run.events.end(),
                                     [](const std::string& e) { return e.find(" flapping ") != std::string::npos; });
  const auto stable = std::find_if(run.events.begin(), run.events.end(),
                                   [](const std::string& e) { return e.find(" stable ") != std::string::npos; });
  ASSERT_NE(flapping, run.events.end());
  ASSERT_NE(stable, run.events.end());
  EXPECT_GT(std::stoi(*stable), std::stoi(*flapping));
  EXPECT_GE(std::stoi(run.notices[1]), std::stoi(*stable));
}

TEST(AlarmEngine, SilenceHoldsNoticesAndTheStateCatchesUpAfter) {
  std::map<int, Silences> silences;
  for (int n = 1; n <= 4; ++n) silences[n] = {"unit:" + U1};
  for (int n = 1; n <= 12; ++n) silences[n].push_back("hop:" + U1 + "-" + kSite);  // either direction
  EngineState state;
  const Outcome run = RunRounds(Join({Repeat(Silent({U1}), 6), Repeat(Level(60), 3), Repeat(kGood, 3)}), state, {}, silences);
  // Silent from round 2, told at 5 when the unit's silence ended; the hop's
  // alarm (raised at 8, cleared at 12) stayed silenced all its life.
  EXPECT_EQ(run.notices, (std::vector<std::string>{"5 firing UnitSilent " + U1, "9 resolved UnitSilent " + U1}));
}

TEST(AlarmEngine, StateReadBackContinuesAsIfNeverStopped) {
  const std::vector<Round> rounds = Join({Repeat(Silent({R2}), 3), Repeat(kGood, 3), Repeat(Level(60), 2)});
  EngineState whole;
  const Outcome straight = RunRounds(rounds, whole);
  for (size_t cut = 1; cut < rounds.size(); ++cut) {
    EngineState before;
    Outcome first = RunRounds({rounds.begin(), rounds.begin() + cut}, before);
    EngineState after = StateFromJson(*lm::json::Parse(lm::json::ToText(StateToJson(before))));
    const Outcome second = RunRounds({rounds.begin() + cut, rounds.end()}, after, {}, {}, static_cast<int>(cut) + 1);
    first.notices.insert(first.notices.end(), second.notices.begin(), second.notices.end());
    EXPECT_EQ(first.notices, straight.notices) << "restarted after round " << cut;
  }
  // A state that is not one this program wrote starts the rules over.
  for (const char* text : {"{}", "[]", R"({"version":1,"subjects":{"x":{"rule":1}},"lastHeard":{},"lastRoundAt":0})",
                           R"({"version":2,"subjects":{},"lastHeard":{},"lastRoundAt":0})"}) {
    EXPECT_TRUE(StateFromJson(*lm::json::Parse(text)).subjects.empty()) << text;
  }
}

TEST(AlarmEngine, AlarmsHaveStableKeysAndEvidence) {
  EngineState state;
  AlarmEngine engine{AlarmRules{}};
  RoundOutcome last;
  const std::vector<Round> rounds = {Level(60), kGood, Level(70)};
  for (size_t i = 0; i < rounds.size(); ++i) last = engine.Step(state, Observe(rounds[i], kStart + i * kMinute), {});
  ASSERT_EQ(last.notices.size(), 1u);
  const Notice& n = last.notices[0];
  EXPECT_EQ(n.key, kSite + "/degraded-hop/" + kSite + "-" + U1);
  EXPECT_EQ(n.startsAt, kStart + 2 * kMinute);
  ASSERT_EQ(n.evidence.size(), 2u);
  EXPECT_EQ(n.evidence[0].at, kStart);
  EXPECT_EQ(n.evidence[1].value, 70);
  EXPECT_NE(n.summary.find("HOUSE-1"), std::string::npos) << n.summary;
}

}  // namespace
