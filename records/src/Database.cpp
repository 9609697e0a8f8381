#include "lm/records/Database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <utility>

#include "lm/records/SqlError.h"

namespace lm::records {

namespace {

// SQLite gives a new file (and its -wal and -shm, which copy the file's
// permissions) the umask's mode; the records are the customer's, so the
// file is made first, readable by its owner only.
void CreatePrivateFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd >= 0) ::close(fd);
}

// Defensive mode (no writes to the schema table, no journal_mode games) and
// no trust in functions or virtual tables a schema names; a failure here
// means an SQLite older than this program supports.
void Harden(sqlite3* db) {
  int on = -1;
  ThrowIfFailed(db, sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, &on), "setting defensive mode");
  ThrowIfFailed(db, sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, &on), "turning trusted_schema off");
  sqlite3_limit(db, SQLITE_LIMIT_LENGTH, Database::kMaxValueBytes);
}

}  // namespace

Database::Database(const std::filesystem::path& path, Mode mode) {
  // URIs let an import be attached read-only (file:...?mode=ro).
  const int access = mode == Mode::kReadOnly ? SQLITE_OPEN_READONLY
                     : mode == Mode::kStore  ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                             : SQLITE_OPEN_READWRITE;
  if (mode == Mode::kStore && path.string().rfind("file:", 0) != 0 && path != ":memory:") CreatePrivateFile(path);
  const int flags = access | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI;
  const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    const std::string message = "opening " + path.string() + ": " + (db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
    sqlite3_close(db_);
    db_ = nullptr;
    throw SqlError(rc, message);
  }
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, static_cast<int>(kBusyTimeout.count()));
  // Both read the header, so a file that is no database fails here.
  try {
    Harden(db_);
    // The WAL is cut back to 16 MiB once checkpointed: a day's thinning
    // would otherwise leave it at its largest for good.
    Exec(mode == Mode::kStore ? "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON; "
                                "PRAGMA journal_size_limit=16777216;"
                              : "PRAGMA schema_version;");
  } catch (...) {
    sqlite3_close(db_);
    db_ = nullptr;
    throw;
  }
}

Database::~Database() {
  cache_.reset();  // its statements are finalised before the connection closes
  if (db_) sqlite3_close_v2(db_);
}

Database::Database(Database&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), cache_(std::move(other.cache_)) {}

Database& Database::operator=(Database&& other) noexcept {
  if (this != &other) {
    cache_.reset();
    if (db_) sqlite3_close_v2(db_);
    db_ = std::exchange(other.db_, nullptr);
    cache_ = std::move(other.cache_);
  }
  return *this;
}

void Database::Exec(const std::string& sql) {
  char* error = nullptr;
  const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error);
  if (rc != SQLITE_OK) {
    const std::string message = std::string("running SQL: ") + (error ? error : sqlite3_errstr(rc));
    sqlite3_free(error);
    throw SqlError(sqlite3_extended_errcode(db_), message);
  }
}

Statement Database::Prepare(const std::string& sql) { return Statement(db_, sql); }

StatementCache::Loan Database::Cached(const std::string& sql) {
  if (!cache_) cache_ = std::make_unique<StatementCache>(db_);
  return cache_->Lend(sql);
}

int64_t Database::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }

int Database::Changes() const { return sqlite3_changes(db_); }

int Database::UserVersion() { return static_cast<int>(QueryInt("PRAGMA user_version")); }

void Database::SetUserVersion(int version) { Exec("PRAGMA user_version=" + std::to_string(version)); }

std::string Database::QueryText(const std::string& sql) {
  auto st = Prepare(sql);
  return st.Step() ? st.Text(0) : std::string();
}

int64_t Database::QueryInt(const std::string& sql) {
  auto st = Prepare(sql);
  return st.Step() ? st.Int(0) : 0;
}

}  // namespace lm::records
