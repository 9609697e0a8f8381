#pragma once
// The words of alarms: the alert name a receiver groups by and the one-line
// summary every notice and record carries.

#include <string>

#include "linkmeter/cli/alarms/AlarmRules.h"
#include "linkmeter/cli/alarms/AlarmState.h"
#include "linkmeter/cli/alarms/RoundObservation.h"

namespace linkmeter::cli::alarms {

// LinkDegraded, UnitSilent, RepeaterSilent, BatteryLow.
std::string AlertName(const std::string& rule);

// "Repeater RPT-2 (00C80102) at GREENHOUSE is silent; unreachable behind it:
// FIELD-TH (00BC0103), BOILER (00C20104)"; once cleared, what is back
// ("Repeater ... answers again; reachable again: ...").
std::string Summary(const SubjectState& s, const RoundObservation& round, const AlarmRules& rules);

}  // namespace linkmeter::cli::alarms
