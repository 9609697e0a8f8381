// Version 7: the outbox addresses each notice to the monitor that raised it
// and to one receiver of that monitor (a webhook URL, a mail relay with its
// recipients), so monitors sharing a store never send, or mark delivered,
// each other's notices. Rows written before have neither ('') until the
// monitor of their site takes them over.
#include "lm/records/Database.h"
#include "SchemaV7MonitorOutbox.h"

namespace lm::records {

void ApplySchemaV7MonitorOutbox(Database& db) {
  db.Exec(R"sql(
ALTER TABLE alarm_outbox ADD COLUMN monitor TEXT NOT NULL DEFAULT '';
ALTER TABLE alarm_outbox ADD COLUMN destination TEXT NOT NULL DEFAULT '';
CREATE INDEX alarm_outbox_by_receiver ON alarm_outbox(monitor, destination, id);
)sql");
}

}  // namespace lm::records
