#include "lm/records/SqlError.h"

#include <sqlite3.h>

namespace lm::records {

void ThrowIfFailed(sqlite3* db, int rc, const char* doing) {
  if (rc == SQLITE_OK) return;
  std::string message = doing;
  message += ": ";
  message += db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  throw SqlError(db ? sqlite3_extended_errcode(db) : rc, message);
}

}  // namespace lm::records
