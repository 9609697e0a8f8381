#pragma once
// Schema step 10: seals of ended surveys, scans and visits
// (SchemaV10Seals.cpp).

namespace lm::records {

class Database;
void ApplySchemaV10Seals(Database& db);

}  // namespace lm::records
