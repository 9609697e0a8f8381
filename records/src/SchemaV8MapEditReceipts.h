#pragma once
// Schema step 8: the team server's receipt of each map edit
// (SchemaV8MapEditReceipts.cpp).

namespace lm::records {

class Database;
void ApplySchemaV8MapEditReceipts(Database& db);

}  // namespace lm::records
