#include "BatchInsert.h"

namespace lm::records {

std::string BatchInsert::Sql(size_t rows) const {
  std::string sql = head_ + " VALUES ";
  sql.reserve(sql.size() + rows * (row_.size() + 2) + tail_.size() + 1);
  for (size_t r = 0; r < rows; ++r) sql += (r ? ", " : "") + row_;
  return sql + " " + tail_;
}

}  // namespace lm::records
