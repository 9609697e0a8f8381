#include "lm/records/Database.h"
#include "lm/records/Schema.h"

namespace lm::records {

// Version 2: a survey names the registration snapshot it was measured with
// (by content id, NULL when it had none); a visit says whether it was closed
// by its program or at a later open because its program was gone, and which
// running program keeps it open (a liveness token, never exported).
void ApplySchemaV2(Database& db) {
  db.Exec(R"sql(
ALTER TABLE surveys ADD COLUMN registration_content_id TEXT;
ALTER TABLE visits ADD COLUMN ended_without_closing INTEGER NOT NULL DEFAULT 0;
ALTER TABLE visits ADD COLUMN open_by TEXT;
)sql");
}

}  // namespace lm::records
