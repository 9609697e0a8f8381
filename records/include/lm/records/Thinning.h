#pragma once
// The retention policy of the monitor's visits: every probe of a round is
// kept for `probes`, then the round's hop statistics until `hops`, then only
// a daily summary. Thinning touches nothing but those rows: a visit's
// surveys, their seals and every other record stay as they were.
//
// Only closed visits of the site begun under the monitor's name are thinned, never a
// technician's, and only once the team server holds them whole (the visit's
// sync mark) — or, when no team server is configured, while the visit was
// never sent to one. Each thinning of a visit is a record of the visit
// (kind "thinning", one transaction with the removal) whose decoded form
// names every survey part removed with its row count and SHA-256, and
// carries the day's summary of the hop statistics removed.

#include <chrono>
#include <cstdint>
#include <string>

#include "lm/records/Records.h"

namespace lm::records {

class Database;

// Set in days (the monitor's configuration); held in hours so that a test
// can thin within a day.
struct RetentionPolicy {
  std::chrono::hours probes{30 * 24};
  std::chrono::hours hops{365 * 24};
};

struct ThinningScope {
  int64_t siteSerial = 0;  // the site whose policy it is: no other site's visit is touched
  std::string technician;  // the visits thinned are those begun under this name
  std::string by;          // the thinning record's source: who thinned
  bool unsentToo = false;  // no team server: a visit never sent may be thinned
};

struct ThinningCounts {
  int visits = 0;
  int64_t probes = 0;
  int64_t hops = 0;
};

// Thins every visit in scope as of `now`; throws SqlError.
ThinningCounts ThinVisits(Database& db, const RetentionPolicy& policy, const ThinningScope& scope, Millis now);

}  // namespace lm::records
