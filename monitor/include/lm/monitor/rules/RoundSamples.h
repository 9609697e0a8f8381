#pragma once
// Each rule's view of one round: for every unit and hop, the condition the
// rule finds and the figure it judged. A unit behind a silent repeater is
// unreachable: unknown to every rule, and listed by the repeater instead.

#include <string>
#include <vector>

#include "lm/monitor/rules/AlarmRules.h"
#include "lm/monitor/rules/AlarmState.h"
#include "lm/monitor/rules/RoundObservation.h"

namespace lm::monitor {

struct SubjectSample {
  std::string rule, subject, unit, label;
  RoundSample sample;
  std::vector<std::string> unreachable;  // silent-repeater only
};

std::vector<SubjectSample> RoundSamples(const RoundObservation& round, const AlarmRules& rules);

}  // namespace lm::monitor
