#pragma once
// Schema step 8: seals of ended surveys, scans and visits
// (SchemaV8Seals.cpp).

namespace lm::records {

class Database;
void ApplySchemaV8Seals(Database& db);

}  // namespace lm::records
