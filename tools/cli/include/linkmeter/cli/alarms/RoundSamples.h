#pragma once
// Each rule's view of one round: for every unit and hop, the condition the
// rule finds and the figure it judged. A unit behind a silent repeater is
// unreachable: unknown to every rule, and listed by the repeater instead.

#include <string>
#include <vector>

#include "linkmeter/cli/alarms/AlarmRules.h"
#include "linkmeter/cli/alarms/AlarmState.h"
#include "linkmeter/cli/alarms/RoundObservation.h"

namespace linkmeter::cli::alarms {

struct SubjectSample {
  std::string rule, subject, unit, label;
  RoundSample sample;
  std::vector<std::string> unreachable;  // silent-repeater only
};

std::vector<SubjectSample> RoundSamples(const RoundObservation& round, const AlarmRules& rules);

}  // namespace linkmeter::cli::alarms
