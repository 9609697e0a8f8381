#pragma once
// A time limit on a connection's SQL: while it lives, any statement still
// running at the deadline is interrupted (SQLITE_INTERRUPT), so a file made
// to run for ever (a recursive view, a huge join) ends in a refusal. With
// `stopped`, also as soon as it answers true (asked every few microseconds).

#include <chrono>
#include <functional>

struct sqlite3;

namespace lm::records {

class Database;

class QueryDeadline {
 public:
  QueryDeadline(Database& db, std::chrono::steady_clock::time_point deadline,
                std::function<bool()> stopped = {});
  ~QueryDeadline();
  QueryDeadline(const QueryDeadline&) = delete;
  QueryDeadline& operator=(const QueryDeadline&) = delete;

  bool Passed() const { return std::chrono::steady_clock::now() >= deadline_; }

 private:
  static int Check(void* self);
  sqlite3* db_;
  std::chrono::steady_clock::time_point deadline_;
  std::function<bool()> stopped_;
};

}  // namespace lm::records
