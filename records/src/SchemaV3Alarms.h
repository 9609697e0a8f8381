#pragma once
// Schema step 3: the monitor's alarm tables (SchemaV3Alarms.cpp).

namespace lm::records {

class Database;
void ApplySchemaV3Alarms(Database& db);

}  // namespace lm::records
