#include "lm/records/Transaction.h"

#include "lm/records/Database.h"

namespace lm::records {

Transaction::Transaction(Database& db, Mode mode) : db_(db) {
  db_.Exec(mode == Mode::kWrite ? "BEGIN IMMEDIATE" : "BEGIN DEFERRED");
}

Transaction::~Transaction() {
  if (!open_) return;
  try {
    db_.Exec("ROLLBACK");
  } catch (...) {
    // A failed statement may already have ended the transaction.
  }
}

void Transaction::Commit() {
  db_.Exec("COMMIT");
  open_ = false;
}

}  // namespace lm::records
