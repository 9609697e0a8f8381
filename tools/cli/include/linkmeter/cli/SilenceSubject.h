#pragma once
// What `alarms silence` silences: the unit its --unit names or the hop its
// --hop names ("A-B", each end a unit), by name, label or serial in any
// form, among the units the monitor's rounds have named at the site (or at
// every site); a serial the monitor has not seen yet is taken as it is.

#include <optional>
#include <string>
#include <vector>

#include "linkmeter/cli/UnitNames.h"

namespace lm::records {
class AlarmLedger;
}

namespace linkmeter::cli {

// The units the alarm rules' state holds for `sites`, with their labels
// ("G3 APPLE-2") and own names ("APPLE-2").
std::vector<NamedUnit> AlarmUnits(lm::records::AlarmLedger& ledger, const std::vector<int64_t>& sites);

// "unit:00BC0502" or "hop:00C80101-00BA0102", or nullopt with `error` set.
std::optional<std::string> UnitSubject(const std::vector<NamedUnit>& units, const std::string& wanted,
                                       std::string& error);
std::optional<std::string> HopSubject(const std::vector<NamedUnit>& units, const std::string& wanted,
                                      std::string& error);

}  // namespace linkmeter::cli
