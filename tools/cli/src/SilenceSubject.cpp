#include "linkmeter/cli/SilenceSubject.h"

#include <regex>
#include <set>

#include "lm/monitor/rules/AlarmState.h"
#include "lm/records/AlarmLedger.h"

namespace linkmeter::cli {
namespace {

constexpr std::string_view kWhat = "unit the monitor has surveyed";

// A label's own part: the page labels units "G3 APPLE-2", "G1 R3".
std::string OwnPart(const std::string& label) {
  static const std::regex kGroupTag(R"(^G[0-9]+ (.+)$)");
  std::smatch m;
  return std::regex_match(label, m, kGroupTag) ? m[1].str() : label;
}

}  // namespace

std::vector<NamedUnit> AlarmUnits(lm::records::AlarmLedger& ledger, const std::vector<int64_t>& sites) {
  std::vector<NamedUnit> units;
  std::set<std::string> seen;
  for (int64_t site : sites) {
    const auto text = ledger.LoadState(site);
    const auto json = text ? lm::json::Parse(*text) : std::nullopt;
    if (!json) continue;
    for (const auto& [key, s] : lm::monitor::StateFromJson(*json).subjects) {
      if (s.unit.empty() || !seen.insert(s.unit).second) continue;
      units.push_back({s.unit, {s.label, OwnPart(s.label)}, ""});
    }
  }
  return units;
}

std::optional<std::string> UnitSubject(const std::vector<NamedUnit>& units, const std::string& wanted,
                                       std::string& error) {
  const UnitPick pick = PickUnit(units, wanted, kWhat, true);
  if (pick.serial.empty()) {
    error = pick.error;
    return std::nullopt;
  }
  return "unit:" + pick.serial;
}

namespace {

// The serials of `wanted` read as "A-B" at each '-' where both ends name a
// unit; with `unseen`, an end may also be a unit not seen yet, written as
// all eight digits of its serial.
std::set<std::string> HopReadings(const std::vector<NamedUnit>& units, const std::string& wanted, bool unseen) {
  auto end = [&](const std::string& text) {
    const UnitPick pick = PickUnit(units, text, kWhat, unseen && text.size() == 8);
    return pick.serial;
  };
  std::set<std::string> readings;
  for (size_t dash = wanted.find('-'); dash != std::string::npos; dash = wanted.find('-', dash + 1)) {
    const std::string from = end(wanted.substr(0, dash)), to = end(wanted.substr(dash + 1));
    if (!from.empty() && !to.empty()) readings.insert(from + "-" + to);
  }
  return readings;
}

}  // namespace

// Names may hold '-' themselves ("APPLE-2"), so every '-' is tried as the
// one between the two ends; exactly one reading must name two units.
std::optional<std::string> HopSubject(const std::vector<NamedUnit>& units, const std::string& wanted,
                                      std::string& error) {
  std::set<std::string> readings = HopReadings(units, wanted, false);
  if (readings.empty()) readings = HopReadings(units, wanted, true);
  if (readings.size() == 1) return "hop:" + *readings.begin();
  std::string list;
  for (const auto& r : readings) list += (list.empty() ? "" : ", ") + r;
  error = readings.empty() ? "--hop '" + wanted + "' names no two units joined by '-' (names or serials of units "
                             "the monitor has surveyed, or two whole serials such as 00C80101-00BA0102)"
                           : "--hop '" + wanted + "' reads as several hops: " + list + "; give the serials";
  return std::nullopt;
}

}  // namespace linkmeter::cli
