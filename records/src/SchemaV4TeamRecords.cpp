#include "SchemaV4TeamRecords.h"

#include <string>

#include "lm/records/Database.h"

namespace lm::records {
namespace {

// Version 4: what team records need in the store.
// - visit_versions: the visit's technician, customer and notes as versions.
//   A version names the versions it replaces (`replaces`: their content ids,
//   space separated, sorted; the visit's own content id stands for the fields
//   the visit began with). The current fields are the versions nothing
//   replaces; two of them are competing versions, both kept.
// - visits.sent_by: who sent the visit to the team server (the server's
//   session user); NULL until it has been on one.
// - sync_marks: the visits that were whole on both sides at the last sync.
//   Any later change to a visit's records removes its mark (the triggers).
constexpr const char* kTables = R"sql(
CREATE TABLE visit_versions (
  id INTEGER PRIMARY KEY,
  content_id TEXT NOT NULL UNIQUE,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  replaces TEXT NOT NULL,
  made_at INTEGER NOT NULL,
  technician TEXT NOT NULL DEFAULT '',
  customer TEXT NOT NULL DEFAULT '',
  notes TEXT NOT NULL DEFAULT ''
);
CREATE INDEX visit_versions_by_visit ON visit_versions(visit_id);
ALTER TABLE visits ADD COLUMN sent_by TEXT;
CREATE TABLE sync_marks (
  visit_id INTEGER PRIMARY KEY REFERENCES visits(id) ON DELETE CASCADE,
  synced_at INTEGER NOT NULL
);
)sql";

struct Watched {
  const char* table;
  const char* event;      // INSERT, or UPDATE [OF column]
  const char* visitOfNew; // an expression naming the changed row's visit
};

constexpr Watched kWatched[] = {
    {"visits", "UPDATE OF ended_at", "NEW.id"},
    {"visit_versions", "INSERT", "NEW.visit_id"},
    {"registration_snapshots", "INSERT", "NEW.visit_id"},
    {"downloads", "INSERT", "NEW.visit_id"},
    {"event_logs", "INSERT", "NEW.visit_id"},
    {"settings_readbacks", "INSERT", "NEW.visit_id"},
    {"surveys", "INSERT", "NEW.visit_id"},
    {"surveys", "UPDATE OF ended_at", "NEW.visit_id"},
    {"probes", "INSERT", "(SELECT visit_id FROM surveys WHERE id = NEW.survey_id)"},
    {"hop_stats", "INSERT", "(SELECT visit_id FROM surveys WHERE id = NEW.survey_id)"},
    {"hop_stats", "UPDATE", "(SELECT visit_id FROM surveys WHERE id = NEW.survey_id)"},
    {"channel_scans", "INSERT", "NEW.visit_id"},
    {"channel_scans", "UPDATE OF ended_at", "NEW.visit_id"},
    {"scan_rounds", "INSERT", "(SELECT visit_id FROM channel_scans WHERE id = NEW.scan_id)"},
    {"settings_writes", "INSERT", "NEW.visit_id"},
    {"settings_write_keys", "INSERT", "(SELECT visit_id FROM settings_writes WHERE id = NEW.write_id)"},
};

}  // namespace

void ApplySchemaV4TeamRecords(Database& db) {
  db.Exec(kTables);
  int n = 0;
  for (const auto& w : kWatched) {
    db.Exec("CREATE TRIGGER unmark_" + std::to_string(++n) + "_" + w.table + " AFTER " + w.event + " ON " +
            w.table + " BEGIN DELETE FROM sync_marks WHERE visit_id = " + w.visitOfNew + "; END");
  }
}

}  // namespace lm::records
