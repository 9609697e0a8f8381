#include "lm/records/Statement.h"

#include <sqlite3.h>

#include <utility>

#include "lm/records/SqlError.h"

namespace lm::records {

Statement::Statement(sqlite3* db, const std::string& sql) : db_(db) {
  ThrowIfFailed(db_, sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr),
                "preparing SQL");
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

Statement::Statement(Statement&& other) noexcept : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement& Statement::Bind(int index, int64_t value) {
  ThrowIfFailed(db_, sqlite3_bind_int64(stmt_, index, value), "binding");
  return *this;
}

Statement& Statement::Bind(int index, double value) {
  ThrowIfFailed(db_, sqlite3_bind_double(stmt_, index, value), "binding");
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
  ThrowIfFailed(db_, sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8),
                "binding");
  return *this;
}

Statement& Statement::Bind(int index, std::span<const uint8_t> blob) {
  // A zero-length blob is still a blob, never NULL.
  static const uint8_t kEmpty = 0;
  const void* data = blob.empty() ? &kEmpty : blob.data();
  ThrowIfFailed(db_, sqlite3_bind_blob64(stmt_, index, data, blob.size(), SQLITE_TRANSIENT), "binding");
  return *this;
}

Statement& Statement::BindNull(int index) {
  ThrowIfFailed(db_, sqlite3_bind_null(stmt_, index), "binding");
  return *this;
}

Statement& Statement::BindZeroBlob(int index, int64_t size) {
  ThrowIfFailed(db_, sqlite3_bind_zeroblob64(stmt_, index, static_cast<sqlite3_uint64>(size)), "binding");
  return *this;
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  ThrowIfFailed(db_, rc, "running SQL");
  return false;
}

void Statement::Run() {
  while (Step()) {
  }
}

void Statement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

int Statement::ColumnCount() const { return sqlite3_column_count(stmt_); }

bool Statement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

double Statement::Real(int column) const { return sqlite3_column_double(stmt_, column); }

std::string Statement::Text(int column) const {
  const auto* text = sqlite3_column_text(stmt_, column);
  const int size = sqlite3_column_bytes(stmt_, column);
  return text ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
}

Bytes Statement::Blob(int column) const {
  const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
  const int size = sqlite3_column_bytes(stmt_, column);
  return data ? Bytes(data, data + size) : Bytes();
}

std::span<const uint8_t> Statement::BlobView(int column) const {
  const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
  const int size = sqlite3_column_bytes(stmt_, column);
  return data ? std::span<const uint8_t>(data, static_cast<size_t>(size)) : std::span<const uint8_t>();
}

std::optional<int64_t> Statement::OptInt(int column) const {
  if (IsNull(column)) return std::nullopt;
  return Int(column);
}

std::optional<double> Statement::OptReal(int column) const {
  if (IsNull(column)) return std::nullopt;
  return Real(column);
}

}  // namespace lm::records
