#include "lm/monitor/rules/RoundSamples.h"

#include <algorithm>
#include <set>

namespace lm::monitor {
namespace {

// Repeaters not heard this round.
std::set<std::string> SilentRepeaters(const RoundObservation& round) {
  std::set<std::string> silent;
  for (const UnitSample& u : round.units) {
    if (u.repeater && !u.heard) silent.insert(u.serial);
  }
  return silent;
}

bool BehindSilent(const UnitSample& u, const std::set<std::string>& silent) {
  return std::any_of(u.via.begin(), u.via.end(), [&](const std::string& r) { return silent.count(r) > 0; });
}

std::string LabelOf(const RoundObservation& round, const std::string& serial) {
  if (serial == round.site) return round.siteName.empty() ? serial : round.siteName;
  for (const UnitSample& u : round.units) {
    if (u.serial == serial) return u.label.empty() ? serial : u.label;
  }
  return serial;
}

SubjectSample SilenceSample(const RoundObservation& round, const UnitSample& u,
                            const std::set<std::string>& silentRepeaters) {
  SubjectSample s{u.repeater ? "silent-repeater" : "silent-unit", u.serial, u.serial, LabelOf(round, u.serial), {}, {}};
  s.sample.at = round.at;
  if (BehindSilent(u, silentRepeaters)) return s;  // unreachable: the repeater's alarm says so
  s.sample.condition = u.heard ? Condition::kGood : Condition::kBad;
  if (!u.repeater || u.heard) return s;
  for (const UnitSample& behind : round.units) {
    if (std::find(behind.via.begin(), behind.via.end(), u.serial) != behind.via.end()) {
      s.unreachable.push_back(behind.serial);
    }
  }
  return s;
}

SubjectSample BatterySample(const RoundObservation& round, const UnitSample& u, const AlarmRules& rules) {
  SubjectSample s{"low-battery", u.serial, u.serial, LabelOf(round, u.serial), {}, {}};
  s.sample.at = round.at;
  if (!u.heard || !u.battery) return s;
  s.sample.value = *u.battery;
  if (u.batteryClass == "low" || u.batteryClass == "empty") s.sample.condition = Condition::kBad;
  else if (*u.battery >= rules.batteryOk + rules.batteryHysteresis) s.sample.condition = Condition::kGood;
  else s.sample.condition = Condition::kBetween;
  return s;
}

SubjectSample HopSampleOf(const RoundObservation& round, const HopSample& h, const AlarmRules& rules) {
  SubjectSample s{"degraded-hop", h.from + "-" + h.to, h.to,
                  LabelOf(round, h.from) + " > " + LabelOf(round, h.to), {}, {}};
  s.sample.at = round.at;
  // A hop nothing answered on is the silent-unit rule's, not this one's.
  if (h.asked == 0 || h.answered == 0 || !h.median) return s;
  s.sample.value = *h.median;
  // The page's verdict: bad below the weak boundary or past its share of losses.
  if (h.verdict == "bad") s.sample.condition = Condition::kBad;
  else if (*h.median >= rules.levelWeak + rules.levelHysteresis) s.sample.condition = Condition::kGood;
  else s.sample.condition = Condition::kBetween;
  return s;
}

}  // namespace

std::vector<SubjectSample> RoundSamples(const RoundObservation& round, const AlarmRules& rules) {
  const std::set<std::string> silentRepeaters = SilentRepeaters(round);
  std::vector<SubjectSample> samples;
  for (const UnitSample& u : round.units) {
    samples.push_back(SilenceSample(round, u, silentRepeaters));
    samples.push_back(BatterySample(round, u, rules));
    if (BehindSilent(u, silentRepeaters)) samples.back().sample.condition = Condition::kUnknown;
  }
  for (const HopSample& h : round.hops) samples.push_back(HopSampleOf(round, h, rules));
  return samples;
}

}  // namespace lm::monitor
