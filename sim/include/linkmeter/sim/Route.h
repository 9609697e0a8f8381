#pragma once
// The way a radio request travels from a base unit to a far unit: the
// repeaters it passes and the far unit itself, each a hop with a length.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "linkmeter/sim/Exchange.h"

namespace linkmeter::sim {

struct Hop {
  int num = 0;  // the unit's number in its group
  std::uint32_t serial = 0;
  double distanceM = 0;
  double batteryPct = 0;
  double drainPctPerDay = 0;
  bool reachable = true;
};

struct Route {
  const GroupSpec* group = nullptr;
  const RemoteUnitSpec* remote = nullptr;  // the far unit when it is a remote unit
  std::vector<Hop> hops;                   // repeaters in order, then the far unit
};

// The route a radio request names (CH, ID, RELAY, ROUTE, MAX); none when
// the addressing fields are missing or malformed. A far unit that does not
// exist on that channel gives a route with a single unreachable hop.
std::optional<Route> ResolveRoute(const Exchange& x);

// One reading per hop: number, level, battery, up to the first hop that does
// not carry. `complete` tells whether the far unit was reached.
struct RouteReading {
  std::string level;  // 3 bytes per hop reached
  bool complete = false;
};
RouteReading ReadRoute(const Exchange& x, const Route& route);

}  // namespace linkmeter::sim
