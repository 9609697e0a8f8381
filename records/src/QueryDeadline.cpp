#include "lm/records/QueryDeadline.h"

#include <sqlite3.h>

#include <utility>

#include "lm/records/Database.h"

namespace lm::records {

// Virtual machine steps between looks at the clock: a few microseconds.
constexpr int kStepsPerCheck = 1000;

QueryDeadline::QueryDeadline(Database& db, std::chrono::steady_clock::time_point deadline,
                             std::function<bool()> stopped)
    : db_(db.Handle()), deadline_(deadline), stopped_(std::move(stopped)) {
  sqlite3_progress_handler(db_, kStepsPerCheck, &QueryDeadline::Check, this);
}

QueryDeadline::~QueryDeadline() { sqlite3_progress_handler(db_, 0, nullptr, nullptr); }

int QueryDeadline::Check(void* self) {
  const auto* limit = static_cast<QueryDeadline*>(self);
  return limit->Passed() || (limit->stopped_ && limit->stopped_()) ? 1 : 0;
}

}  // namespace lm::records
