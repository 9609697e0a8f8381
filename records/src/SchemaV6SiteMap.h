#pragma once

namespace lm::records {

class Database;

void ApplySchemaV6SiteMap(Database& db);

}  // namespace lm::records
