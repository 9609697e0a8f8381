// Reading packed hop statistics where History reads hop_stats.
#pragma once

#include <tuple>
#include <utility>
#include <vector>

#include "lm/records/PackedRoutes.h"
#include "lm/records/Records.h"

namespace lm::records {

class Database;

// The trend's order: visit start, survey start, route, hop.
using TrendOrder = std::tuple<Millis, Millis, int, int>;

// The unit's points from packed rows of the site's visits.
std::vector<std::pair<TrendOrder, TrendPoint>> PackedTrend(Database& db, int64_t siteSerial, int64_t unit);
// A packed survey's hop statistics, in (route, hop) order, added to `survey`.
void AddPackedHops(Database& db, StoredSurvey& survey);

// An export (attached as `ex`, rows copied with their ids) carries packed
// surveys as plain rows: their routes and hop statistics unpacked.
void UnpackForExport(Database& db);

}  // namespace lm::records
