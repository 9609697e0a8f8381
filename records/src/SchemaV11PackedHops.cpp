// Version 11: the monitor's hop statistics packed past the probes' time.
// - packed_hops: per unit and visit, the visit's per-round hop statistics of
//   that unit as one compressed row (HopPacking.cpp), so a unit's trend over
//   a year reads a row a day and the rows need no index of their own.
// - route_lists: each distinct list of routes once, by its SHA-256; a packed
//   survey's routes_json is left empty and read from here instead.
// - packed_surveys: the surveys so packed, how many hop rows each held (what
//   the sync counts) and its routes' list; the thinning record that packed
//   them says what was packed, with a digest over the rows.
#include "lm/records/Database.h"
#include "SchemaV11PackedHops.h"

namespace lm::records {

void ApplySchemaV11PackedHops(Database& db) {
  db.Exec(R"sql(
CREATE TABLE packed_hops (
  id INTEGER PRIMARY KEY,
  unit INTEGER NOT NULL,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  entries INTEGER NOT NULL,
  packed BLOB NOT NULL,
  UNIQUE (unit, visit_id)
);
CREATE INDEX packed_hops_by_visit ON packed_hops(visit_id);
CREATE TABLE route_lists (
  sha256 TEXT PRIMARY KEY,
  routes_json TEXT NOT NULL
) WITHOUT ROWID;
CREATE TABLE packed_surveys (
  survey_id INTEGER PRIMARY KEY REFERENCES surveys(id) ON DELETE CASCADE,
  hops INTEGER NOT NULL,
  routes_sha256 TEXT NOT NULL REFERENCES route_lists(sha256),
  thinning_id INTEGER NOT NULL REFERENCES thinnings(id) ON DELETE CASCADE
);
)sql");
}

}  // namespace lm::records
