#include "lm/monitor/rules/AlarmText.h"

#include <cmath>

namespace lm::monitor {
namespace {

std::string Named(const std::string& label, const std::string& serial) {
  return label.empty() || label == serial ? serial : label + " (" + serial + ")";
}

std::string UnitLabel(const RoundObservation& round, const std::string& serial) {
  for (const UnitSample& u : round.units) {
    if (u.serial == serial) return Named(u.label, serial);
  }
  return serial;
}

std::string SiteName(const RoundObservation& round) { return round.siteName.empty() ? round.site : round.siteName; }

std::string Figure(const SubjectState& s) {
  for (auto it = s.history.rbegin(); it != s.history.rend(); ++it) {
    if (it->condition != Condition::kUnknown) return std::to_string(std::lround(it->value));
  }
  return "?";
}

std::string Units(const RoundObservation& round, const std::vector<std::string>& serials) {
  std::string text;
  for (const std::string& serial : serials) text += (text.empty() ? "" : ", ") + UnitLabel(round, serial);
  return text;
}

std::string Firing(const SubjectState& s, const RoundObservation& round, const AlarmRules& rules) {
  const std::string at = " at " + SiteName(round);
  if (s.rule == "degraded-hop") {
    return "Link " + s.label + " (" + s.subject + ")" + at + " is degraded: median level " + Figure(s) +
           " (weak below " + std::to_string(rules.levelWeak) + ")";
  }
  if (s.rule == "low-battery") return "Unit " + Named(s.label, s.unit) + at + " has a low battery: " + Figure(s) + "%";
  if (s.rule == "silent-unit") return "Unit " + Named(s.label, s.unit) + at + " is silent";
  const std::string behind = s.unreachable.empty() ? "" : "; unreachable behind it: " + Units(round, s.unreachable);
  return "Repeater " + Named(s.label, s.unit) + at + " is silent" + behind;
}

std::string Resolved(const SubjectState& s, const RoundObservation& round) {
  const std::string at = " at " + SiteName(round);
  if (s.rule == "degraded-hop") return "Link " + s.label + " (" + s.subject + ")" + at + " recovered: median level " + Figure(s);
  if (s.rule == "low-battery") return "Unit " + Named(s.label, s.unit) + at + " has its battery back: " + Figure(s) + "%";
  if (s.rule == "silent-unit") return "Unit " + Named(s.label, s.unit) + at + " answers again";
  const std::string behind = s.unreachable.empty() ? "" : "; reachable again: " + Units(round, s.unreachable);
  return "Repeater " + Named(s.label, s.unit) + at + " answers again" + behind;
}

}  // namespace

std::string AlertName(const std::string& rule) {
  if (rule == "degraded-hop") return "LinkDegraded";
  if (rule == "silent-unit") return "UnitSilent";
  if (rule == "silent-repeater") return "RepeaterSilent";
  if (rule == "low-battery") return "BatteryLow";
  return "LinkmeterTest";
}

std::string Summary(const SubjectState& s, const RoundObservation& round, const AlarmRules& rules) {
  return s.firing ? Firing(s, round, rules) : Resolved(s, round);
}

}  // namespace lm::monitor
