// Version 8: the team server's receipt of a map edit, fetched by a sync:
// its receipt number (the order the server took edits in) and who sent it
// (the server's session user). Map edits are ordered by receipt once they
// have one, and before that by this store's own order; never by the time an
// edit names. A receipt is added once and never changed.
#include "lm/records/Database.h"
#include "SchemaV8MapEditReceipts.h"

namespace lm::records {

void ApplySchemaV8MapEditReceipts(Database& db) {
  db.Exec(R"sql(
CREATE TABLE map_edit_receipts (
  edit_id INTEGER PRIMARY KEY REFERENCES map_edits(id) ON DELETE CASCADE,
  received INTEGER NOT NULL,
  sent_by TEXT NOT NULL
);
)sql");
}

}  // namespace lm::records
