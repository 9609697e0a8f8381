#include "lm/records/QueryDeadline.h"

#include <sqlite3.h>

#include "lm/records/Database.h"

namespace lm::records {

// Virtual machine steps between looks at the clock: a few microseconds.
constexpr int kStepsPerCheck = 1000;

QueryDeadline::QueryDeadline(Database& db, std::chrono::steady_clock::time_point deadline)
    : db_(db.Handle()), deadline_(deadline) {
  sqlite3_progress_handler(db_, kStepsPerCheck, &QueryDeadline::Check, this);
}

QueryDeadline::~QueryDeadline() { sqlite3_progress_handler(db_, 0, nullptr, nullptr); }

int QueryDeadline::Check(void* self) { return static_cast<QueryDeadline*>(self)->Passed() ? 1 : 0; }

}  // namespace lm::records
