#pragma once
// The retention policy applied from the round loop: after the first round
// of each day (UTC, on the monitor's clock) the store's monitor visits are
// thinned (lm/records/Thinning.h), the monitor's notices delivered before
// the probes' time are forgotten, and a line says what went:
//   2026-01-31T00:00:00Z thinned visits=1 probes=184320 hops=71424 notices=310
// A failure is logged (thinning failed="why") and tried again the next day;
// it never stops a round. Once a week (the days since 1970 a multiple of 7)
// the store is then rebuilt when over a tenth of it is room thinning left
// (lm/records/StoreCompaction.h):
//   2027-03-25T00:00:00Z compacted from=474.4MB to=433.7MB seconds=5.3
// or "compaction skipped=…" / "compaction failed=…"; a stop abandons it.
// Its own connection to the store, opened at first use.

#include <chrono>
#include <filesystem>
#include <iosfwd>
#include <optional>

#include "lm/monitor/loop/CancelToken.h"
#include "lm/records/Database.h"
#include "lm/records/Thinning.h"

namespace lm::monitor {

class RetentionKeeper {
 public:
  RetentionKeeper(std::filesystem::path store, lm::records::RetentionPolicy policy, lm::records::ThinningScope scope,
                  std::ostream& log);

  // A round of the site `siteSerial` ended at `at`: thins the site's
  // visits when it is the day's first, and compacts the store weekly.
  void AfterRound(std::chrono::system_clock::time_point at, int64_t siteSerial, const CancelToken& stop);
  // Thins the site's visits now, whatever the day; what it removed.
  lm::records::ThinningCounts Thin(std::chrono::system_clock::time_point at, int64_t siteSerial);
  // Forgets the monitor's notices delivered before the probes' time; how many.
  int64_t ForgetNotices(std::chrono::system_clock::time_point at);
  // Rebuilds the store when over `share` of it is wasted; logs what it did.
  void Compact(std::chrono::system_clock::time_point at, double share, const CancelToken& stop);

  static constexpr double kWastedShare = 0.1;

 private:
  lm::records::Database& Db();
  void ThinDay(std::chrono::system_clock::time_point at, int64_t siteSerial);

  std::filesystem::path store_;
  lm::records::RetentionPolicy policy_;
  lm::records::ThinningScope scope_;
  std::ostream& log_;
  std::optional<lm::records::Database> db_;
  int64_t lastDay_ = -1;
};

}  // namespace lm::monitor
