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

// A hop seen on several routes keeps the figures of the route that heard
// it most; asked and answered are summed.
void MergeHop(std::map<std::string, HopSample>& hops, std::vector<std::string>& order, HopSample h) {
  auto [it, added] = hops.try_emplace(h.from + "-" + h.to, h);
  if (added) return order.push_back(it->first);
  HopSample& kept = it->second;
  const bool better = h.answered > kept.answered;
  kept.asked += h.asked;
  kept.answered += h.answered;
  if (better) kept.median = h.median, kept.verdict = h.verdict;
}

void MergeUnit(std::map<std::string, UnitSample>& units, std::vector<std::string>& order, UnitSample u) {
  auto [it, added] = units.try_emplace(u.serial, u);
  if (added) return order.push_back(u.serial);
  UnitSample& kept = it->second;
  if (u.heard && !kept.heard) kept.battery = u.battery, kept.batteryClass = u.batteryClass;
  kept.heard = kept.heard || u.heard;
}

struct Collected {
  std::map<std::string, HopSample> hops;
  std::vector<std::string> hopOrder;
  std::map<std::string, UnitSample> units;
  std::vector<std::string> unitOrder;
};

void CollectResult(const Value& result, const std::string& site, Collected& c) {
  const Value& hops = Member(result, "hops");
  if (!hops.is<Array>()) return;
  std::string from = site;
  std::vector<std::string> via;
  for (const Value& hop : hops.get<Array>()) {
    const std::string serial = Upper(Text(hop, "serial"));
    if (serial.empty()) break;
    const Value& figures = Member(hop, "figures");
    const Value& reading = Member(hop, "reading");
    HopSample h{from, serial, static_cast<int>(Number(figures, "asked").value_or(0)),
                static_cast<int>(Number(figures, "answered").value_or(0)), Number(figures, "median"), Text(hop, "verdict")};
    UnitSample u{serial, Text(hop, "label"), Text(hop, "kind") == "repeater", h.answered > 0, std::nullopt, "none", via};
    if (u.heard) u.battery = Number(reading, "battery"), u.batteryClass = Text(reading, "batteryClass");
    if (h.asked > 0) MergeHop(c.hops, c.hopOrder, h);
    MergeUnit(c.units, c.unitOrder, u);
    via.push_back(serial);
    from = serial;
  }
}

}  // namespace

RoundObservation ObserveSurvey(const Value& survey, const std::string& site, const std::string& siteName, int64_t at) {
  RoundObservation round{Upper(site), siteName, at, {}, {}};
  Collected c;
  const Value& results = Member(survey, "results");
  if (results.is<Array>()) {
    for (const Value& r : results.get<Array>()) {
      if (Text(r, "status") != "failed") CollectResult(r, round.site, c);
    }
  }
  for (const std::string& key : c.hopOrder) round.hops.push_back(c.hops[key]);
  for (const std::string& serial : c.unitOrder) round.units.push_back(c.units[serial]);
  return round;
}

}  // namespace lm::monitor
