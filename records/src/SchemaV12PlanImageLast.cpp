// Version 12: site_plans made again with the image (raw) as the row's last
// column. A plan fetched from the team server is inserted with room for its
// image (a zero-filled blob) and written into it piece by piece; SQLite
// keeps such room unbuilt only when it ends the row, so before this a 40 MiB
// photo cost 80 MiB of memory while it was inserted. Columns are always
// named, so nothing reads them by position.
#include "SchemaV12PlanImageLast.h"

#include "lm/records/Database.h"

namespace lm::records {

void ApplySchemaV12PlanImageLast(Database& db) {
  db.Exec(R"sql(
CREATE TABLE site_plans_v12 (
  id INTEGER PRIMARY KEY, content_id TEXT NOT NULL UNIQUE,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  taken_at INTEGER NOT NULL, unit INTEGER, source TEXT NOT NULL DEFAULT '',
  header BLOB, decoded_json TEXT, raw BLOB NOT NULL
);
INSERT INTO site_plans_v12(id, content_id, visit_id, taken_at, unit, source, header, decoded_json, raw)
  SELECT id, content_id, visit_id, taken_at, unit, source, header, decoded_json, raw FROM site_plans;
DROP TABLE site_plans;
ALTER TABLE site_plans_v12 RENAME TO site_plans;
CREATE INDEX site_plans_by_visit ON site_plans(visit_id);
CREATE TRIGGER unmark_site_plans AFTER INSERT ON site_plans
  BEGIN DELETE FROM sync_marks WHERE visit_id = NEW.visit_id; END;
)sql");
}

}  // namespace lm::records
