#include "SchemaV6SiteMap.h"

#include "lm/records/Database.h"

namespace lm::records {

// Version 6: the site map, as raw records of the visit they were made in.
// A plan's raw is the image file as imported (PNG, JPEG, SVG, or a PDF page
// rendered to PNG) and its decoded form names it and gives its SHA-256, size
// and scale line; its content id covers the bytes, so an import verifies the
// image like any record. A map edit places a unit on a plan, marks it
// planned or sends it back to the tray, with time and who (raw empty); edits
// are never changed, the positions at a moment are the edits up to then.
void ApplySchemaV6SiteMap(Database& db) {
  db.Exec(R"sql(
CREATE TABLE site_plans (
  id INTEGER PRIMARY KEY, content_id TEXT NOT NULL UNIQUE,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  taken_at INTEGER NOT NULL, unit INTEGER, source TEXT NOT NULL DEFAULT '',
  header BLOB, raw BLOB NOT NULL, decoded_json TEXT
);
CREATE TABLE map_edits (
  id INTEGER PRIMARY KEY, content_id TEXT NOT NULL UNIQUE,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  taken_at INTEGER NOT NULL, unit INTEGER, source TEXT NOT NULL DEFAULT '',
  header BLOB, raw BLOB NOT NULL, decoded_json TEXT
);
CREATE INDEX site_plans_by_visit ON site_plans(visit_id);
CREATE INDEX map_edits_by_visit ON map_edits(visit_id);
CREATE TRIGGER unmark_site_plans AFTER INSERT ON site_plans
  BEGIN DELETE FROM sync_marks WHERE visit_id = NEW.visit_id; END;
CREATE TRIGGER unmark_map_edits AFTER INSERT ON map_edits
  BEGIN DELETE FROM sync_marks WHERE visit_id = NEW.visit_id; END;
)sql");
}

}  // namespace lm::records
