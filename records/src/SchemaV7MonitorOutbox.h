#pragma once
// Schema step 7: each outbox notice addressed to one monitor and one
// receiver (SchemaV7MonitorOutbox.cpp).

namespace lm::records {

class Database;
void ApplySchemaV7MonitorOutbox(Database& db);

}  // namespace lm::records
