#include "SchemaV6SiteMap.h"

#include "RawRecordTables.h"

namespace lm::records {

// Version 6: the site map, as raw records of the visit they were made in.
// A plan's raw is the image file as imported (PNG, JPEG, SVG, or a PDF page
// rendered to PNG) and its decoded form names it and gives its SHA-256, size
// and scale line; its content id covers the bytes, so an import verifies the
// image like any record. A map edit places a unit on a plan, marks it
// planned or sends it back to the tray, with time and who (raw empty); edits
// are never changed, the positions at a moment are the edits up to then.
void ApplySchemaV6SiteMap(Database& db) {
  CreateRawRecordTables(db, {"site_plans", "map_edits"});
}

}  // namespace lm::records
