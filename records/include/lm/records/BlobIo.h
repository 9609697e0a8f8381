#pragma once
// One blob of one row read or written in place (SQLite's incremental blob
// I/O), piece by piece, so a large value (a plan's image) is never held
// whole. A blob is written into room made for it first (Statement::
// BindZeroBlob); its size never changes. The handle sees the row as it was
// when opened: a change to the row makes every later call fail.
// Throws SqlError.

#include <cstdint>
#include <span>
#include <string>

#include "lm/records/Records.h"

struct sqlite3_blob;

namespace lm::records {

class Database;

class BlobIo {
 public:
  enum class Mode { kRead, kWrite };
  BlobIo(Database& db, const std::string& table, const std::string& column, RowId row, Mode mode);
  ~BlobIo();
  BlobIo(const BlobIo&) = delete;
  BlobIo& operator=(const BlobIo&) = delete;

  int64_t Size() const;
  void Read(int64_t offset, std::span<uint8_t> into);
  void Write(int64_t offset, std::span<const uint8_t> from);

 private:
  Database& db_;
  sqlite3_blob* blob_ = nullptr;
};

}  // namespace lm::records
