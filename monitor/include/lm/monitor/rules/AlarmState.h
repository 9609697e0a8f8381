#pragma once
// The alarm rules' memory of a site between rounds, kept in the site
// records after every round so a restarted monitor carries on where it
// stopped.

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "lm/Json.h"

namespace lm::monitor {

// One round as one rule saw one subject.
enum class Condition : char {
  kBad = 'b',      // raises
  kGood = 'g',     // past the boundary and its hysteresis: counts towards clearing
  kBetween = 'o',  // neither: not bad, not yet far enough back to clear
  kUnknown = 'u',  // not seen this round (behind a silent repeater, no answer to judge)
};

struct RoundSample {
  int64_t at = 0;
  Condition condition = Condition::kUnknown;
  double value = 0;  // the figure judged (median level, battery %); 0 when none
};

// One rule on one unit or hop.
struct SubjectState {
  std::string rule;     // degraded-hop, silent-unit, silent-repeater, low-battery
  std::string subject;  // a unit's serial or a hop "FROM-TO"
  std::string unit;     // the unit it names (a hop: its far end)
  std::string label;    // how notices name it
  std::deque<RoundSample> history;  // the latest rounds, oldest first
  bool firing = false;
  int64_t since = 0;    // start of the current or last alarm
  int64_t endedAt = 0;  // end of the last alarm, 0 while firing or never
  bool flapping = false;
  std::string announced;  // last state told to the receivers: "", "firing", "resolved"
  std::vector<std::string> unreachable;  // a silent repeater's units behind it
  std::vector<RoundSample> evidence;     // the bad rounds that raised the current or last alarm
};

struct EngineState {
  std::map<std::string, SubjectState> subjects;  // by alarm key
  std::map<std::string, int64_t> lastHeard;      // unit serial -> ms
  int64_t lastRoundAt = 0;
};

lm::json::Value StateToJson(const EngineState& state);
// A state read back; anything that is not a state this program wrote
// gives a fresh state (the rules start over rather than trust it).
EngineState StateFromJson(const lm::json::Value& json);

}  // namespace lm::monitor
