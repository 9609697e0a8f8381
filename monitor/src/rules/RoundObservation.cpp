#include "lm/monitor/rules/RoundObservation.h"

#include <algorithm>
#include <cctype>
#include <map>

namespace lm::monitor {
namespace {

using lm::json::Array;
using lm::json::Object;
using lm::json::Value;

using lm::json::Member;

std::string Text(const Value& v, const std::string& key) {
  const Value& m = Member(v, key);
  return m.is<std::string>() ? m.get<std::string>() : "";
}

std::optional<double> Number(const Value& v, const std::string& key) {
  const Value& m = Member(v, key);
  if (m.is<double>()) return m.get<double>();
  return std::nullopt;
}

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

void MergeUnit(std::map<std::string, UnitSample>& units, std::vector<std::string>& order, UnitSample u) {
  auto [it, added] = units.try_emplace(u.serial, u);
  if (added) return order.push_back(u.serial);
  UnitSample& kept = it->second;
  if (u.heard && !kept.heard) kept.battery = u.battery, kept.batteryClass = u.batteryClass;
  kept.heard = kept.heard || u.heard;
}

struct Collected {
  std::map<std::string, UnitSample> units;
  std::vector<std::string> unitOrder;
};

// Every hop as the site survey merged it over the routes through it, by the
// page's one rule (siteSurvey's `hops`, site/hopmerge.js): every probe
// pooled, judged once.
std::vector<HopSample> MergedHops(const Value& survey, const std::string& site) {
  std::vector<HopSample> out;
  const Value& hops = Member(survey, "hops");
  if (!hops.is<Array>()) return out;
  for (const Value& hop : hops.get<Array>()) {
    const Value& from = Member(hop, "from");
    HopSample h{Text(from, "kind") == "base" ? site : Upper(Text(from, "serial")), Upper(Text(Member(hop, "to"), "serial")),
                static_cast<int>(Number(hop, "asked").value_or(0)), static_cast<int>(Number(hop, "answered").value_or(0)),
                Number(hop, "level"), Text(hop, "verdict")};
    if (h.asked > 0 && !h.from.empty() && !h.to.empty()) out.push_back(std::move(h));
  }
  return out;
}

void CollectResult(const Value& result, Collected& c) {
  const Value& hops = Member(result, "hops");
  if (!hops.is<Array>()) return;
  std::vector<std::string> via;
  for (const Value& hop : hops.get<Array>()) {
    const std::string serial = Upper(Text(hop, "serial"));
    if (serial.empty()) break;
    const Value& reading = Member(hop, "reading");
    const bool heard = Number(Member(hop, "figures"), "answered").value_or(0) > 0;
    UnitSample u{serial, Text(hop, "label"), Text(hop, "kind") == "repeater", heard, std::nullopt, "none", via};
    if (u.heard) u.battery = Number(reading, "battery"), u.batteryClass = Text(reading, "batteryClass");
    MergeUnit(c.units, c.unitOrder, u);
    via.push_back(serial);
  }
}

}  // namespace

RoundObservation ObserveSurvey(const Value& survey, const std::string& site, const std::string& siteName, int64_t at) {
  RoundObservation round{Upper(site), siteName, at, {}, {}};
  Collected c;
  const Value& results = Member(survey, "results");
  if (results.is<Array>()) {
    for (const Value& r : results.get<Array>()) {
      if (Text(r, "status") != "failed") CollectResult(r, c);
    }
  }
  round.hops = MergedHops(survey, round.site);
  for (const std::string& serial : c.unitOrder) round.units.push_back(c.units[serial]);
  return round;
}

}  // namespace lm::monitor
