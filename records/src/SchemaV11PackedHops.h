#pragma once
// Schema step 11: hop statistics packed once the probes are gone (SchemaV11PackedHops.cpp).

namespace lm::records {

class Database;
void ApplySchemaV11PackedHops(Database& db);

}  // namespace lm::records
