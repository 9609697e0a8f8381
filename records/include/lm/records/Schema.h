#pragma once
// The store's schema, kept in PRAGMA user_version and brought forward one
// step at a time. A step is applied with its version in one transaction, so
// a file is always at some whole version. To change the schema, append a
// step (version N+1) to the list; never edit a step that has shipped.

#include <functional>
#include <string>
#include <vector>

namespace lm::records {

class Database;

struct SchemaStep {
  int version;                             // the version the file has after this step
  std::function<void(Database&)> apply;    // runs inside the step's transaction
};

// The steps of this build, in order; the last one's version is current.
const std::vector<SchemaStep>& SchemaSteps();
int CurrentSchemaVersion();

// The steps' SQL, each in its own file.
void ApplySchemaV2(Database& db);

enum class MigrateOutcome { kUpToDate, kCreated, kMigrated, kNewer };

// Brings the file to the last step's version. A file written by a newer
// build (user_version past the last step) is left untouched: kNewer.
// Throws SqlError; a failing step leaves the file at the version before it.
MigrateOutcome Migrate(Database& db, const std::vector<SchemaStep>& steps = SchemaSteps());

}  // namespace lm::records
