#include "lm/monitor/retention/RetentionKeeper.h"

#include <exception>
#include <ostream>
#include <stdexcept>

#include "lm/monitor/loop/MonitorLog.h"
#include "lm/records/AlarmLedger.h"
#include "lm/records/Schema.h"

namespace lm::monitor {
namespace {

int64_t MillisOf(std::chrono::system_clock::time_point at) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
}

}  // namespace

RetentionKeeper::RetentionKeeper(std::filesystem::path store, lm::records::RetentionPolicy policy,
                                 lm::records::ThinningScope scope, std::ostream& log)
    : store_(std::move(store)), policy_(policy), scope_(std::move(scope)), log_(log) {}

lm::records::Database& RetentionKeeper::Db() {
  if (!db_) {
    lm::records::Database db(store_);
    if (lm::records::Migrate(db) == lm::records::MigrateOutcome::kNewer) {
      throw std::runtime_error("written by a newer version of Linkmeter: nothing thinned");
    }
    db_.emplace(std::move(db));
  }
  return *db_;
}

lm::records::ThinningCounts RetentionKeeper::Thin(std::chrono::system_clock::time_point at, int64_t siteSerial) {
  lm::records::ThinningScope scope = scope_;
  scope.siteSerial = siteSerial;
  return lm::records::ThinVisits(Db(), policy_, scope, MillisOf(at));
}

int64_t RetentionKeeper::ForgetNotices(std::chrono::system_clock::time_point at) {
  return lm::records::ForgetDeliveredNotices(Db(), scope_.by, MillisOf(at - policy_.probes));
}

void RetentionKeeper::AfterRound(std::chrono::system_clock::time_point at, int64_t siteSerial) {
  const int64_t day = MillisOf(at) / 86'400'000;
  if (day == lastDay_) return;
  lastDay_ = day;
  try {
    const lm::records::ThinningCounts done = Thin(at, siteSerial);
    const int64_t notices = ForgetNotices(at);
    if (done.visits == 0 && notices == 0) return;
    log_ << UtcText(at) << " thinned visits=" << done.visits << " probes=" << done.probes << " hops=" << done.hops
         << " notices=" << notices << "\n" << std::flush;
  } catch (const std::exception& e) {
    db_.reset();  // opened afresh the next day
    log_ << UtcText(at) << " thinning failed=" << QuotedLogWord(std::string("site records: ") + e.what()) << "\n"
         << std::flush;
  }
}

}  // namespace lm::monitor
