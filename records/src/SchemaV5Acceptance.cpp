#include "SchemaV5Acceptance.h"

#include "lm/records/Database.h"

namespace lm::records {

// Version 5: a site's acceptance and the waivers of its failing units, both
// raw records of the visit (decoded_json holds them; raw stays empty). An
// acceptance carries the profile and boundaries it was judged by; a waiver
// is never changed, a withdrawal is a record of its own naming the waiver.
// A new record removes the visit's sync mark as every other record does.
void ApplySchemaV5Acceptance(Database& db) {
  db.Exec(R"sql(
CREATE TABLE acceptances (
  id INTEGER PRIMARY KEY, content_id TEXT NOT NULL UNIQUE,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  taken_at INTEGER NOT NULL, unit INTEGER, source TEXT NOT NULL DEFAULT '',
  header BLOB, raw BLOB NOT NULL, decoded_json TEXT
);
CREATE TABLE waivers (
  id INTEGER PRIMARY KEY, content_id TEXT NOT NULL UNIQUE,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  taken_at INTEGER NOT NULL, unit INTEGER, source TEXT NOT NULL DEFAULT '',
  header BLOB, raw BLOB NOT NULL, decoded_json TEXT
);
CREATE INDEX acceptances_by_visit ON acceptances(visit_id);
CREATE INDEX waivers_by_visit ON waivers(visit_id);
CREATE TRIGGER unmark_acceptances AFTER INSERT ON acceptances
  BEGIN DELETE FROM sync_marks WHERE visit_id = NEW.visit_id; END;
CREATE TRIGGER unmark_waivers AFTER INSERT ON waivers
  BEGIN DELETE FROM sync_marks WHERE visit_id = NEW.visit_id; END;
)sql");
}

}  // namespace lm::records
