#include "RawRecordTables.h"

#include <string>

#include "lm/records/Database.h"

namespace lm::records {

void CreateRawRecordTables(Database& db, std::initializer_list<const char*> tables) {
  std::string sql = "\n";
  for (const std::string table : tables) {
    sql += "CREATE TABLE " + table + R"sql( (
  id INTEGER PRIMARY KEY, content_id TEXT NOT NULL UNIQUE,
  visit_id INTEGER NOT NULL REFERENCES visits(id) ON DELETE CASCADE,
  taken_at INTEGER NOT NULL, unit INTEGER, source TEXT NOT NULL DEFAULT '',
  header BLOB, raw BLOB NOT NULL, decoded_json TEXT
);
)sql";
  }
  for (const std::string table : tables) sql += "CREATE INDEX " + table + "_by_visit ON " + table + "(visit_id);\n";
  for (const std::string table : tables) {
    sql += "CREATE TRIGGER unmark_" + table + " AFTER INSERT ON " + table +
           "\n  BEGIN DELETE FROM sync_marks WHERE visit_id = NEW.visit_id; END;\n";
  }
  db.Exec(sql);
}

}  // namespace lm::records
