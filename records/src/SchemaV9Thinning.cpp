// Version 8: the retention policy's thinning.
// - thinnings: one record per visit and thinning, in the shape of the raw
//   records (kind "thinning"); its decoded form says what went and keeps
//   the daily summary of what went for good. It stays on this computer: the
//   team server holds the rows themselves, so no trigger removes the visit's
//   sync mark when one is added.
// - thinned_parts: per survey and part ('probes', 'hops'), how many rows the
//   part held and the SHA-256 over them, so the survey's parts still add up
//   to what was sealed and what the team server holds, and a sync never
//   fetches back what was thinned on purpose.
// - thinned_surveys: the surveys removed whole once only the day's summary
//   is kept, with what the sync counted of them (ended, probes, hops).
#include "lm/records/Database.h"
#include "SchemaV9Thinning.h"

namespace lm::records {

void ApplySchemaV9Thinning(Database& db) {
  db.Exec(R"sql(
CREATE TABLE thinnings (
  id INTEGER PRIMARY KEY, content_id TEXT NOT NULL UNIQUE,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  taken_at INTEGER NOT NULL, unit INTEGER, source TEXT NOT NULL DEFAULT '',
  header BLOB, raw BLOB NOT NULL, decoded_json TEXT
);
CREATE INDEX thinnings_by_visit ON thinnings(visit_id);
CREATE TABLE thinned_parts (
  survey_id INTEGER NOT NULL REFERENCES surveys(id) ON DELETE CASCADE,
  part TEXT NOT NULL CHECK (part IN ('probes', 'hops')),
  count INTEGER NOT NULL,
  sha256 TEXT NOT NULL,
  thinning_id INTEGER NOT NULL REFERENCES thinnings(id) ON DELETE CASCADE,
  PRIMARY KEY (survey_id, part)
) WITHOUT ROWID;
CREATE TABLE thinned_surveys (
  content_id TEXT PRIMARY KEY,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  ended INTEGER NOT NULL,
  probes INTEGER NOT NULL,
  hops INTEGER NOT NULL,
  thinning_id INTEGER NOT NULL REFERENCES thinnings(id) ON DELETE CASCADE
) WITHOUT ROWID;
CREATE INDEX thinned_surveys_by_visit ON thinned_surveys(visit_id);
)sql");
}

}  // namespace lm::records
