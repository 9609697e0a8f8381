#pragma once
// Schema step 8: what the retention policy thinned (SchemaV8Thinning.cpp).

namespace lm::records {

class Database;
void ApplySchemaV8Thinning(Database& db);

}  // namespace lm::records
