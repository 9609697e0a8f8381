#include "lm/records/BlobIo.h"

#include <sqlite3.h>

#include "lm/records/Database.h"
#include "lm/records/SqlError.h"

namespace lm::records {

BlobIo::BlobIo(Database& db, const std::string& table, const std::string& column, RowId row, Mode mode) : db_(db) {
  const int rc = sqlite3_blob_open(db_.Handle(), "main", table.c_str(), column.c_str(), row,
                                   mode == Mode::kWrite ? 1 : 0, &blob_);
  if (rc != SQLITE_OK) {
    sqlite3_blob_close(blob_);  // a handle left by a failed open is closed too
    blob_ = nullptr;
    ThrowIfFailed(db_.Handle(), rc, "opening a blob");
  }
}

BlobIo::~BlobIo() { sqlite3_blob_close(blob_); }

int64_t BlobIo::Size() const { return sqlite3_blob_bytes(blob_); }

void BlobIo::Read(int64_t offset, std::span<uint8_t> into) {
  ThrowIfFailed(db_.Handle(),
                sqlite3_blob_read(blob_, into.data(), static_cast<int>(into.size()), static_cast<int>(offset)),
                "reading a blob");
}

void BlobIo::Write(int64_t offset, std::span<const uint8_t> from) {
  ThrowIfFailed(db_.Handle(),
                sqlite3_blob_write(blob_, from.data(), static_cast<int>(from.size()), static_cast<int>(offset)),
                "writing a blob");
}

}  // namespace lm::records
