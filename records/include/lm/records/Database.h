#pragma once
// One SQLite connection. Opening sets the store's connection settings: WAL
// journal, synchronous=NORMAL, foreign keys and a busy timeout, so a second
// writer (another process) waits instead of failing at once.
// Not thread-safe: one thread at a time (RecordStore serialises callers).

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "lm/records/Statement.h"
#include "lm/records/StatementCache.h"

struct sqlite3;

namespace lm::records {

class Database {
 public:
  static constexpr std::chrono::milliseconds kBusyTimeout{10000};
  // No text, blob or row larger than this is read or kept (SQLITE_TOOBIG).
  static constexpr int kMaxValueBytes = 64 * 1024 * 1024;

  enum class Mode {
    kStore,     // read-write, created 0600 when missing, with the store's settings
    kReadOnly,  // an existing file only looked at; left unchanged
    kPrivate,   // an existing private copy (an import being checked): read-write, journal as found
  };

  // Opens and, for kStore, applies the connection settings. Every connection
  // is defensive, trusts no function or virtual table a schema names, and
  // caps values at kMaxValueBytes. Throws SqlError; a file that is no
  // database fails here or at its first read.
  explicit Database(const std::filesystem::path& path, Mode mode = Mode::kStore);
  ~Database();
  Database(Database&& other) noexcept;
  Database& operator=(Database&& other) noexcept;
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Runs one or more statements without results.
  void Exec(const std::string& sql);
  Statement Prepare(const std::string& sql);
  // A statement prepared once per connection and lent for one use (see
  // StatementCache): for the SQL a store runs per row or per record.
  StatementCache::Loan Cached(const std::string& sql);

  int64_t LastInsertId() const;
  int Changes() const;
  int UserVersion();
  void SetUserVersion(int version);
  // The text of a one-value query ("PRAGMA journal_mode" -> "wal").
  std::string QueryText(const std::string& sql);
  int64_t QueryInt(const std::string& sql);

  sqlite3* Handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
  std::unique_ptr<StatementCache> cache_;
};

}  // namespace lm::records
