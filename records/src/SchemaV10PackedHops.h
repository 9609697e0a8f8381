#pragma once
// Schema step 10: hop statistics packed once the probes are gone (SchemaV10PackedHops.cpp).

namespace lm::records {

class Database;
void ApplySchemaV10PackedHops(Database& db);

}  // namespace lm::records
