#pragma once
// Schema step 9: what the retention policy thinned (SchemaV9Thinning.cpp).

namespace lm::records {

class Database;
void ApplySchemaV9Thinning(Database& db);

}  // namespace lm::records
