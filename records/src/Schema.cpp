#include "lm/records/Schema.h"

#include "lm/records/Database.h"
#include "lm/records/Transaction.h"
#include "SchemaV3Alarms.h"
#include "SchemaV4TeamRecords.h"
#include "SchemaV5Acceptance.h"
#include "SchemaV6SiteMap.h"
#include "SchemaV7MonitorOutbox.h"
#include "SchemaV8MapEditReceipts.h"
#include "SchemaV9Thinning.h"
#include "SchemaV10Seals.h"
#include "SchemaV11PackedHops.h"
#include "SchemaV12PlanImageLast.h"

namespace lm::records {
namespace {

// Version 1. Times are milliseconds since 1970 (UTC); units are serial
// numbers; *_json columns hold the decoded form, raw columns the bytes as read.
constexpr const char* kSchemaV1 = R"sql(
CREATE TABLE sites (
  id INTEGER PRIMARY KEY,
  content_id TEXT NOT NULL UNIQUE,
  serial INTEGER NOT NULL UNIQUE,
  name TEXT NOT NULL DEFAULT '',
  model TEXT NOT NULL DEFAULT ''
);
CREATE TABLE visits (
  id INTEGER PRIMARY KEY,
  content_id TEXT NOT NULL UNIQUE,
  site_id INTEGER NOT NULL REFERENCES sites(id) ON DELETE CASCADE,
  started_at INTEGER NOT NULL,
  ended_at INTEGER,
  technician TEXT NOT NULL DEFAULT '',
  customer TEXT NOT NULL DEFAULT '',
  notes TEXT NOT NULL DEFAULT ''
);
CREATE INDEX visits_by_site ON visits(site_id, started_at);
CREATE TABLE registration_snapshots (
  id INTEGER PRIMARY KEY, content_id TEXT NOT NULL UNIQUE,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  taken_at INTEGER NOT NULL, unit INTEGER, source TEXT NOT NULL DEFAULT '',
  header BLOB, raw BLOB NOT NULL, decoded_json TEXT
);
CREATE TABLE downloads (
  id INTEGER PRIMARY KEY, content_id TEXT NOT NULL UNIQUE,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  taken_at INTEGER NOT NULL, unit INTEGER, source TEXT NOT NULL DEFAULT '',
  header BLOB, raw BLOB NOT NULL, decoded_json TEXT
);
CREATE TABLE event_logs (
  id INTEGER PRIMARY KEY, content_id TEXT NOT NULL UNIQUE,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  taken_at INTEGER NOT NULL, unit INTEGER, source TEXT NOT NULL DEFAULT '',
  header BLOB, raw BLOB NOT NULL, decoded_json TEXT
);
CREATE TABLE settings_readbacks (
  id INTEGER PRIMARY KEY, content_id TEXT NOT NULL UNIQUE,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  taken_at INTEGER NOT NULL, unit INTEGER, source TEXT NOT NULL DEFAULT '',
  header BLOB, raw BLOB NOT NULL, decoded_json TEXT
);
CREATE INDEX registration_snapshots_by_visit ON registration_snapshots(visit_id);
CREATE INDEX downloads_by_visit ON downloads(visit_id);
CREATE INDEX event_logs_by_visit ON event_logs(visit_id);
CREATE INDEX settings_readbacks_by_visit ON settings_readbacks(visit_id);
CREATE TABLE surveys (
  id INTEGER PRIMARY KEY,
  content_id TEXT NOT NULL UNIQUE,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  kind TEXT NOT NULL CHECK (kind IN ('route', 'site')),
  started_at INTEGER NOT NULL,
  ended_at INTEGER,
  probes_per_route INTEGER NOT NULL,
  routes_json TEXT NOT NULL,
  thresholds_json TEXT NOT NULL
);
CREATE INDEX surveys_by_visit ON surveys(visit_id);
CREATE TABLE probes (
  survey_id INTEGER NOT NULL REFERENCES surveys(id) ON DELETE CASCADE,
  route INTEGER NOT NULL,
  seq INTEGER NOT NULL,
  at INTEGER NOT NULL,
  answered INTEGER NOT NULL,
  raw BLOB NOT NULL,
  PRIMARY KEY (survey_id, route, seq)
) WITHOUT ROWID;
CREATE TABLE hop_stats (
  survey_id INTEGER NOT NULL REFERENCES surveys(id) ON DELETE CASCADE,
  route INTEGER NOT NULL,
  hop INTEGER NOT NULL,
  from_unit INTEGER NOT NULL,
  unit INTEGER NOT NULL,
  sent INTEGER NOT NULL,
  answered INTEGER NOT NULL,
  level_min REAL, level_avg REAL, level_max REAL,
  battery REAL,
  PRIMARY KEY (survey_id, route, hop)
) WITHOUT ROWID;
CREATE INDEX hop_stats_by_unit ON hop_stats(unit, survey_id);
CREATE TABLE channel_scans (
  id INTEGER PRIMARY KEY,
  content_id TEXT NOT NULL UNIQUE,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  started_at INTEGER NOT NULL,
  ended_at INTEGER,
  unit INTEGER,
  settings_json TEXT NOT NULL
);
CREATE INDEX channel_scans_by_visit ON channel_scans(visit_id);
CREATE TABLE scan_rounds (
  scan_id INTEGER NOT NULL REFERENCES channel_scans(id) ON DELETE CASCADE,
  round INTEGER NOT NULL,
  at INTEGER NOT NULL,
  raw BLOB NOT NULL,
  decoded_json TEXT,
  PRIMARY KEY (scan_id, round)
) WITHOUT ROWID;
CREATE TABLE settings_writes (
  id INTEGER PRIMARY KEY,
  content_id TEXT NOT NULL UNIQUE,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  written_at INTEGER NOT NULL,
  unit INTEGER,
  succeeded INTEGER NOT NULL,
  message TEXT NOT NULL DEFAULT ''
);
CREATE INDEX settings_writes_by_visit ON settings_writes(visit_id);
CREATE TABLE settings_write_keys (
  write_id INTEGER NOT NULL REFERENCES settings_writes(id) ON DELETE CASCADE,
  position INTEGER NOT NULL,
  key TEXT NOT NULL,
  old_json TEXT,
  new_json TEXT NOT NULL,
  PRIMARY KEY (write_id, position)
) WITHOUT ROWID;
)sql";

}  // namespace

const std::vector<SchemaStep>& SchemaSteps() {
  static const std::vector<SchemaStep> steps = {
      {1, [](Database& db) { db.Exec(kSchemaV1); }},
      {2, ApplySchemaV2},
      {3, ApplySchemaV3Alarms},
      {4, ApplySchemaV4TeamRecords},
      {5, ApplySchemaV5Acceptance},
      {6, ApplySchemaV6SiteMap},
      {7, ApplySchemaV7MonitorOutbox},
      {8, ApplySchemaV8MapEditReceipts},
      {9, ApplySchemaV9Thinning},
      {10, ApplySchemaV10Seals},
      {11, ApplySchemaV11PackedHops},
      {12, ApplySchemaV12PlanImageLast},
  };
  return steps;
}

int CurrentSchemaVersion() { return SchemaSteps().back().version; }

MigrateOutcome Migrate(Database& db, const std::vector<SchemaStep>& steps) {
  const int last = steps.empty() ? 0 : steps.back().version;
  const int found = db.UserVersion();
  if (found > last) return MigrateOutcome::kNewer;
  if (found == last) return MigrateOutcome::kUpToDate;
  for (const auto& step : steps) {
    // Read again under the write lock: another process may have migrated
    // the file since the check above.
    Transaction tx(db);
    const int now = db.UserVersion();
    if (now > last) return MigrateOutcome::kNewer;
    if (step.version <= now) continue;
    step.apply(db);
    db.SetUserVersion(step.version);
    tx.Commit();
  }
  return found == 0 ? MigrateOutcome::kCreated : MigrateOutcome::kMigrated;
}

}  // namespace lm::records
