#pragma once
// Schema step 12: a plan's image as its row's last value (SchemaV12PlanImageLast.cpp).

namespace lm::records {

class Database;
void ApplySchemaV12PlanImageLast(Database& db);

}  // namespace lm::records
