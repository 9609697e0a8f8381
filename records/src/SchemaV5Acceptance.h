#pragma once

namespace lm::records {

class Database;

void ApplySchemaV5Acceptance(Database& db);

}  // namespace lm::records
