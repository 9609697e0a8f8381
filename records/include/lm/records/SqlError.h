#pragma once
// The failure of one SQLite call, thrown by the SQL layer (Database,
// Statement, Transaction) and turned into a StoreError by the store's API.

#include <stdexcept>
#include <string>

struct sqlite3;

namespace lm::records {

class SqlError : public std::runtime_error {
 public:
  SqlError(int code, const std::string& what) : std::runtime_error(what), code_(code) {}
  // The primary SQLite result code (SQLITE_BUSY, SQLITE_CORRUPT, ...).
  int Code() const { return code_ & 0xff; }
  int ExtendedCode() const { return code_; }

 private:
  int code_;
};

// Throws SqlError with the connection's message when rc is not SQLITE_OK.
void ThrowIfFailed(sqlite3* db, int rc, const char* doing);

}  // namespace lm::records
