// Packing a monitor visit's hop statistics once its probes are gone, and
// reading packed statistics back as the rows they replaced.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "HopPacking.h"
#include "lm/Json.h"

namespace lm::records {

class Database;

using HopsByUnit = std::map<int64_t, std::vector<PackedHop>>;

// What a compaction packs: the visit's surveys not yet packed, their rows.
struct Compaction {
  struct Survey {
    RowId id = 0;
    int64_t hops = 0;
    std::string routesSha256;
    std::string routesJson;
  };
  std::vector<Survey> surveys;
  HopsByUnit rows;
  int64_t hops = 0;
  std::string sha256;  // over the rows in (survey start, survey, route, hop) order
  bool empty() const { return surveys.empty(); }
};

// `leaving`: surveys the same thinning removes, left out.
Compaction PlanCompaction(Database& db, RowId visit, const std::set<RowId>& leaving);
json::Value CompactionJson(Database& db, const Compaction& plan);
// Packs the plan's rows with what the visit held packed already, less the
// entries of surveys removed since; removes the packed rows from hop_stats.
void ApplyCompaction(Database& db, RowId visit, RowId thinning, const Compaction& plan);

// Every packed entry of the visit, by unit.
HopsByUnit ReadPackedHops(Database& db, RowId visit);
// Fills temp.visit_hops (the layout of hop_stats) with the visit's packed
// entries, so that SQL over hop_stats can take them too.
void UnpackIntoTemp(Database& db, RowId visit);
// hop_stats and temp.visit_hops as one.
inline constexpr const char* kAllHopStats =
    "(SELECT * FROM main.hop_stats UNION ALL SELECT * FROM temp.visit_hops)";

}  // namespace lm::records
