#include "SchemaV5Acceptance.h"

#include "RawRecordTables.h"

namespace lm::records {

// Version 5: a site's acceptance and the waivers of its failing units, both
// raw records of the visit (decoded_json holds them; raw stays empty). An
// acceptance carries the profile and boundaries it was judged by; a waiver
// is never changed, a withdrawal is a record of its own naming the waiver.
// A new record removes the visit's sync mark as every other record does.
void ApplySchemaV5Acceptance(Database& db) {
  CreateRawRecordTables(db, {"acceptances", "waivers"});
}

}  // namespace lm::records
