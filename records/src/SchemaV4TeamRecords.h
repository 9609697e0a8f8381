#pragma once
// Schema step 4: a visit's fields kept as versions, who sent a visit to the
// team server, and which visits the last sync left whole on both sides.

namespace lm::records {

class Database;

void ApplySchemaV4TeamRecords(Database& db);

}  // namespace lm::records
