#include "lm/monitor/retention/RetentionKeeper.h"

#include <cstdio>
#include <exception>
#include <ostream>
#include <stdexcept>

#include "lm/monitor/loop/MonitorLog.h"
#include "lm/records/AlarmLedger.h"
#include "lm/records/Schema.h"
#include "lm/records/StoreCompaction.h"

namespace lm::monitor {
namespace {

int64_t MillisOf(std::chrono::system_clock::time_point at) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
}

std::string Megabytes(int64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1fMB", bytes / 1e6);
  return text;
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

void RetentionKeeper::Compact(std::chrono::system_clock::time_point at, double share, const CancelToken& stop) {
  const auto began = std::chrono::steady_clock::now();
  try {
    const lm::records::StoreRebuild done =
        lm::records::CompactWhenWasteful(Db(), store_, share, [&stop] { return stop.Cancelled(); });
    if (!done.skipped.empty()) {
      log_ << UtcText(at) << " compaction skipped=" << QuotedLogWord(done.skipped) << "\n" << std::flush;
    } else if (done.afterBytes > 0) {
      const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
      char took[32];
      std::snprintf(took, sizeof took, "%.1f", seconds);
      log_ << UtcText(at) << " compacted from=" << Megabytes(done.before.fileBytes)
           << " to=" << Megabytes(done.afterBytes) << " seconds=" << took << "\n" << std::flush;
    }
  } catch (const std::exception& e) {
    db_.reset();
    log_ << UtcText(at) << " compaction failed="
         << QuotedLogWord(stop.Cancelled() ? std::string("stopped") : std::string("site records: ") + e.what())
         << "\n" << std::flush;
  }
}

void RetentionKeeper::ThinDay(std::chrono::system_clock::time_point at, int64_t siteSerial) {
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

void RetentionKeeper::AfterRound(std::chrono::system_clock::time_point at, int64_t siteSerial,
                                 const CancelToken& stop) {
  const int64_t day = MillisOf(at) / 86'400'000;
  if (day == lastDay_) return;
  lastDay_ = day;
  ThinDay(at, siteSerial);
  if (day % 7 == 0 && !stop.Cancelled()) Compact(at, kWastedShare, stop);
}

}  // namespace lm::monitor
