#pragma once
// The words of alarms: the alert name a receiver groups by and the one-line
// summary every notice and record carries.

#include <string>

#include "lm/monitor/rules/AlarmRules.h"
#include "lm/monitor/rules/AlarmState.h"
#include "lm/monitor/rules/RoundObservation.h"

namespace lm::monitor {

// LinkDegraded, UnitSilent, RepeaterSilent, BatteryLow.
std::string AlertName(const std::string& rule);

// "Repeater RPT-2 (00C80102) at GREENHOUSE is silent; unreachable behind it:
// FIELD-TH (00BC0103), BOILER (00C20104)"; once cleared, what is back
// ("Repeater ... answers again; reachable again: ...").
std::string Summary(const SubjectState& s, const RoundObservation& round, const AlarmRules& rules);

}  // namespace lm::monitor
