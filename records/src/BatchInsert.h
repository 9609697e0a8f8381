#pragma once
// Rows written by multi-row INSERT statements instead of one statement a
// row: SQLite opens a statement journal and sets up the table's triggers
// once per statement, which for a probe (two triggers) costs more than the
// row itself. A call's rows go kMaxRows a statement and the rest in one;
// a connection prepares (and caches) a statement for each row count it
// meets, a few in practice (the page sends a route's probes at a time).

#include <algorithm>
#include <cstddef>
#include <string>

#include "lm/records/Database.h"

namespace lm::records {

class BatchInsert {
 public:
  static constexpr size_t kMaxRows = 32;

  // "<head> VALUES <row>, <row>, ... <tail>"; `row` is "(?, ?, ...)" with
  // `columns` parameters.
  BatchInsert(Database& db, std::string head, std::string row, std::string tail, int columns)
      : db_(db), head_(std::move(head)), row_(std::move(row)), tail_(std::move(tail)), columns_(columns) {}

  // Writes rows 0..count-1; bindRow(statement, firstIndex, i) binds row i's
  // values from position firstIndex on.
  template <class BindRow>
  void Run(size_t count, BindRow&& bindRow) {
    for (size_t done = 0; done < count;) {
      const size_t rows = std::min(kMaxRows, count - done);
      auto insert = db_.Cached(Sql(rows));
      for (size_t r = 0; r < rows; ++r) bindRow(*insert, 1 + static_cast<int>(r) * columns_, done + r);
      insert->Run();
      done += rows;
    }
  }

 private:
  std::string Sql(size_t rows) const;

  Database& db_;
  std::string head_, row_, tail_;
  int columns_;
};

}  // namespace lm::records
