#include "linkmeter/sim/Route.h"

#include <algorithm>

#include "linkmeter/sim/RecordedData.h"

namespace linkmeter::sim {
namespace {

Hop HopOf(const RepeaterSpec& r) {
  return {r.num, r.serial, r.distanceM, r.batteryPct, r.drainPctPerDay, r.reachable};
}
Hop HopOf(const RemoteUnitSpec& u) {
  return {u.num, u.serial, u.distanceM, u.batteryPct, u.drainPctPerDay, u.reachable};
}

const RepeaterSpec* FindRepeater(const GroupSpec& g, int num) {
  for (const auto& r : g.repeaters) {
    if (r.num == num) return &r;
  }
  return nullptr;
}

// Repeaters from the base unit down to `parent` along the registered tree.
std::optional<std::vector<Hop>> RegisteredRelays(const GroupSpec& g, int parent) {
  std::vector<Hop> relays;
  for (int guard = 0; parent != 0; ++guard) {
    const RepeaterSpec* r = FindRepeater(g, parent);
    if (!r || guard > 255) return std::nullopt;  // broken or looping tree
    relays.insert(relays.begin(), HopOf(*r));
    parent = r->parent;
  }
  return relays;
}

// Length of the registered path from the base unit to repeater `num`.
double PathLength(const GroupSpec& g, int num) {
  double length = 0;
  for (int guard = 0; num != 0 && guard < 256; ++guard) {
    const RepeaterSpec* r = FindRepeater(g, num);
    if (!r) break;
    length += r->distanceM;
    num = r->parent;
  }
  return length;
}

// A hop from `from` to a unit hanging from `parent` at `distanceM`: as the
// registered path goes when `from` is its parent, else straight across the
// difference of the two paths (never shorter than its own link).
double HopLength(const GroupSpec& g, int from, int parent, double distanceM) {
  if (from == parent) return distanceM;
  return std::max(distanceM, PathLength(g, parent) + distanceM - PathLength(g, from));
}

// Repeaters the request names itself, in order from the base unit.
std::optional<std::vector<Hop>> ExplicitRelays(const GroupSpec& g, const std::string& relay) {
  std::vector<Hop> relays;
  int previous = 0;
  for (unsigned char num : relay) {
    const RepeaterSpec* r = FindRepeater(g, num);
    if (!r) return std::nullopt;
    Hop hop = HopOf(*r);
    hop.distanceM = HopLength(g, previous, r->parent, r->distanceM);
    relays.push_back(hop);
    previous = num;
  }
  return relays;
}

}  // namespace

std::optional<Route> ResolveRoute(const Exchange& x) {
  auto id = x.request.Find("ID");
  if (!x.Has("CH") || !id || id->size() != 8) return std::nullopt;
  const int channel = static_cast<int>(x.Number("CH"));
  const auto serial = static_cast<std::uint32_t>(GetLe(std::string(*id), 4, 4));
  const std::string relay = x.Text("RELAY");
  const bool explicitRelay = !relay.empty() && relay != std::string(1, '\0');

  for (const auto& g : x.unit.design.groups) {
    if (g.freq != channel) continue;
    Route route;
    route.group = &g;
    std::optional<Hop> target;
    int parent = 0;
    for (const auto& u : g.remoteUnits) {
      if (u.serial == serial) target = HopOf(u), parent = u.parent, route.remote = &u;
    }
    for (const auto& r : g.repeaters) {
      if (r.serial == serial) target = HopOf(r), parent = r.parent;
    }
    if (!target) continue;
    auto relays = explicitRelay ? ExplicitRelays(g, relay) : RegisteredRelays(g, parent);
    if (!relays) return std::nullopt;
    if (explicitRelay) target->distanceM = HopLength(g, relays->empty() ? 0 : relays->back().num, parent, target->distanceM);
    route.hops = std::move(*relays);
    route.hops.push_back(*target);
    return route;
  }
  // Nobody answers on that channel with that ID.
  Route lost;
  lost.hops.push_back(Hop{0, serial, 0, 0, 0, false});
  return lost;
}

RouteReading ReadRoute(const Exchange& x, const Route& route) {
  RouteReading reading;
  const long long maxHops = x.Number("MAX", 0);
  if (maxHops > 0 && static_cast<long long>(route.hops.size()) > maxHops) return reading;
  std::uint32_t previous = x.unit.design.serial;
  for (const Hop& hop : route.hops) {
    if (!hop.reachable || x.unit.faults.Unreachable(hop.serial)) return reading;
    auto level = x.radio.HopLevel(hop.serial, hop.distanceM, previous ^ (hop.serial * 2654435761u), x.now);
    if (!level) return reading;
    int battery = x.radio.Battery(hop.batteryPct, hop.drainPctPerDay, hop.serial, x.now);
    reading.level += static_cast<char>(hop.num);
    reading.level += static_cast<char>(*level);
    reading.level += static_cast<char>(battery);
    previous = hop.serial;
  }
  reading.complete = true;
  return reading;
}

}  // namespace linkmeter::sim
