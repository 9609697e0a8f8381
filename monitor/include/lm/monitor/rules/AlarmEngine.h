#pragma once
// The alarm rules: after each survey round, the state of every rule on
// every unit and hop moves on, and what changed comes out as events for
// the site records and notices for the receivers. Pure: the round carries
// its own time, silences come in as a list, nothing is read or written.

#include <cstdint>
#include <string>
#include <vector>

#include "lm/monitor/rules/AlarmRules.h"
#include "lm/monitor/rules/AlarmState.h"
#include "lm/monitor/rules/RoundObservation.h"

namespace lm::monitor {

struct AlarmEvent {
  std::string key;   // SITE/rule/subject
  std::string kind;  // raised, resolved, flapping, stable
  int64_t at = 0;
  std::string summary;
  lm::json::Value detail;  // evidence (rounds), unreachable units
};

struct Notice {
  std::string key;
  std::string status;     // firing, resolved
  std::string alertname;  // LinkDegraded, UnitSilent, RepeaterSilent, BatteryLow
  std::string rule;
  std::string site, siteName, unit, hop;  // hop "FROM-TO" for a link, else ""
  std::string summary;
  int64_t startsAt = 0, endsAt = 0;  // endsAt 0 while firing
  std::vector<RoundSample> evidence;  // the bad rounds that raised it
  std::vector<std::string> unreachable;
};

struct RoundOutcome {
  std::vector<AlarmEvent> events;
  std::vector<Notice> notices;
};

// A silence: "unit:SERIAL" or "hop:A-B" (either order).
using Silences = std::vector<std::string>;

class AlarmEngine {
 public:
  explicit AlarmEngine(AlarmRules rules) : rules_(rules) {}

  RoundOutcome Step(EngineState& state, const RoundObservation& round, const Silences& silences) const;

  // The alarm key of a rule on a subject.
  static std::string Key(const std::string& site, const std::string& rule, const std::string& subject);

 private:
  void Judge(SubjectState& s, const RoundObservation& round, RoundOutcome& out) const;
  void Flap(SubjectState& s, const std::string& key, int64_t at, RoundOutcome& out) const;
  void Announce(SubjectState& s, const std::string& key, const RoundObservation& round, bool silenced,
                RoundOutcome& out) const;

  AlarmRules rules_;
};

// Whether a silence covers a subject of a rule.
bool Silenced(const Silences& silences, const SubjectState& subject);

}  // namespace lm::monitor
