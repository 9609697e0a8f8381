#include "lm/monitor/rules/AlarmEngine.h"

#include <algorithm>

#include "lm/monitor/rules/AlarmText.h"
#include "lm/monitor/rules/RoundSamples.h"

namespace lm::monitor {
namespace {

// The latest `count` samples the rule could judge, newest first.
std::vector<RoundSample> LatestKnown(const SubjectState& s, int count) {
  std::vector<RoundSample> known;
  for (auto it = s.history.rbegin(); it != s.history.rend() && static_cast<int>(known.size()) < count; ++it) {
    if (it->condition != Condition::kUnknown) known.push_back(*it);
  }
  return known;
}

int CountOf(const std::vector<RoundSample>& samples, Condition c) {
  return static_cast<int>(std::count_if(samples.begin(), samples.end(), [c](const RoundSample& r) { return r.condition == c; }));
}

// Changes between bad and not bad over the known rounds of the history.
int Changes(const SubjectState& s) {
  int changes = 0;
  std::optional<bool> previous;
  for (const RoundSample& r : s.history) {
    if (r.condition == Condition::kUnknown) continue;
    const bool bad = r.condition == Condition::kBad;
    if (previous && *previous != bad) ++changes;
    previous = bad;
  }
  return changes;
}

lm::json::Value EvidenceJson(const std::vector<RoundSample>& evidence) {
  lm::json::Array rounds;
  for (const RoundSample& r : evidence) {
    rounds.push_back(lm::json::MakeObject({{"at", lm::json::Number(r.at)}, {"value", lm::json::Value(r.value)}}));
  }
  return lm::json::Value(rounds);
}

lm::json::Value TextList(const std::vector<std::string>& texts) {
  lm::json::Array list;
  for (const std::string& t : texts) list.emplace_back(t);
  return lm::json::Value(list);
}

// The bad rounds among the latest window: what raised the alarm.
std::vector<RoundSample> Evidence(const SubjectState& s, int window) {
  std::vector<RoundSample> bad;
  for (const RoundSample& r : LatestKnown(s, window)) {
    if (r.condition == Condition::kBad) bad.insert(bad.begin(), r);
  }
  return bad;
}

}  // namespace

std::string AlarmEngine::Key(const std::string& site, const std::string& rule, const std::string& subject) {
  return site + "/" + rule + "/" + subject;
}

bool Silenced(const Silences& silences, const SubjectState& s) {
  for (const std::string& silence : silences) {
    if (silence == "unit:" + s.unit && s.rule != "degraded-hop") return true;
    if (s.rule != "degraded-hop" || silence.rfind("hop:", 0) != 0) continue;
    const std::string hop = silence.substr(4);
    const auto dash = hop.find('-');
    if (dash == std::string::npos) continue;
    if (hop == s.subject || hop.substr(dash + 1) + "-" + hop.substr(0, dash) == s.subject) return true;
  }
  return false;
}

RoundOutcome AlarmEngine::Step(EngineState& state, const RoundObservation& round, const Silences& silences) const {
  RoundOutcome out;
  for (const SubjectSample& sample : RoundSamples(round, rules_)) {
    const std::string key = Key(round.site, sample.rule, sample.subject);
    SubjectState& s = state.subjects[key];
    s.rule = sample.rule;
    s.subject = sample.subject;
    s.unit = sample.unit;
    s.label = sample.label;
    // A repeater's alarm keeps the units it cut off, for its resolve too.
    if (sample.sample.condition == Condition::kBad && !sample.unreachable.empty()) s.unreachable = sample.unreachable;
    s.history.push_back(sample.sample);
    while (static_cast<int>(s.history.size()) > std::max(rules_.flapWindow, rules_.windowRounds)) s.history.pop_front();
    Judge(s, round, out);
    Flap(s, key, round.at, out);
    Announce(s, key, round, Silenced(silences, s), out);
  }
  for (const UnitSample& u : round.units) {
    if (u.heard) state.lastHeard[u.serial] = round.at;
  }
  state.lastRoundAt = round.at;
  return out;
}

void AlarmEngine::Judge(SubjectState& s, const RoundObservation& round, RoundOutcome& out) const {
  const std::string key = Key(round.site, s.rule, s.subject);
  if (!s.firing) {
    if (s.history.back().condition != Condition::kBad) return;
    if (CountOf(LatestKnown(s, rules_.windowRounds), Condition::kBad) < rules_.raiseRounds) return;
    s.firing = true;
    s.since = round.at;
    s.endedAt = 0;
    s.evidence = Evidence(s, rules_.windowRounds);
    lm::json::Object detail{{"evidence", EvidenceJson(s.evidence)}};
    if (!s.unreachable.empty()) detail["unreachable"] = TextList(s.unreachable);
    out.events.push_back({key, "raised", round.at, Summary(s, round, rules_), lm::json::Value(detail)});
    return;
  }
  // A battery back past its boundary and hysteresis is a new one: one round
  // is enough. Everything else needs K good rounds in a row.
  const int needed = s.rule == "low-battery" ? 1 : rules_.clearRounds;
  const std::vector<RoundSample> latest = LatestKnown(s, needed);
  if (static_cast<int>(latest.size()) < needed || CountOf(latest, Condition::kGood) < needed) return;
  if (s.history.back().condition == Condition::kUnknown) return;
  s.firing = false;
  s.endedAt = round.at;
  out.events.push_back({key, "resolved", round.at, Summary(s, round, rules_), lm::json::Value(lm::json::Object())});
}

void AlarmEngine::Flap(SubjectState& s, const std::string& key, int64_t at, RoundOutcome& out) const {
  const int changes = Changes(s);
  const lm::json::Value detail = lm::json::MakeObject({{"changes", lm::json::Number(changes)}});
  if (!s.flapping && changes > rules_.flapChanges) {
    s.flapping = true;
    out.events.push_back({key, "flapping", at, s.label + " is flapping: " + std::to_string(changes) +
                                                   " changes in the last " + std::to_string(s.history.size()) + " rounds",
                          detail});
  } else if (s.flapping && changes <= rules_.flapChanges / 2) {
    s.flapping = false;
    out.events.push_back({key, "stable", at, s.label + " is stable again", detail});
  }
}

// Tells the receivers the state when it differs from what they were last
// told, unless the subject is flapping or silenced: held notices collapse
// into the one state that holds when the hold ends.
void AlarmEngine::Announce(SubjectState& s, const std::string& key, const RoundObservation& round, bool silenced,
                           RoundOutcome& out) const {
  if (s.flapping || silenced) return;
  std::string status;
  if (s.firing && s.announced != "firing") status = "firing";
  if (!s.firing && s.announced == "firing") status = "resolved";
  if (status.empty()) return;
  s.announced = status;
  Notice n;
  n.key = key;
  n.status = status;
  n.rule = s.rule;
  n.alertname = AlertName(s.rule);
  n.site = round.site;
  n.siteName = round.siteName;
  n.unit = s.unit;
  if (s.rule == "degraded-hop") n.hop = s.subject;
  n.summary = Summary(s, round, rules_);
  n.startsAt = s.since;
  n.endsAt = s.firing ? 0 : s.endedAt;
  n.evidence = s.evidence;
  n.unreachable = s.unreachable;
  out.notices.push_back(std::move(n));
}

}  // namespace lm::monitor
