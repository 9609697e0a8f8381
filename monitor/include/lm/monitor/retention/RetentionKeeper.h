#pragma once
// The retention policy applied from the round loop: after the first round
// of each day (UTC, on the monitor's clock) the store's monitor visits are
// thinned (lm/records/Thinning.h), the monitor's notices delivered before
// the probes' time are forgotten, and a line says what went:
//   2026-01-31T00:00:00Z thinned visits=1 probes=184320 hops=71424 notices=310
// A failure is logged (thinning failed="why") and tried again the next day;
// it never stops a round. Its own connection to the store, opened at first use.

#include <chrono>
#include <filesystem>
#include <iosfwd>
#include <optional>

#include "lm/records/Database.h"
#include "lm/records/Thinning.h"

namespace lm::monitor {

class RetentionKeeper {
 public:
  RetentionKeeper(std::filesystem::path store, lm::records::RetentionPolicy policy, lm::records::ThinningScope scope,
                  std::ostream& log);

  // A round of the site `siteSerial` ended at `at`: thins the site's
  // visits when it is the day's first.
  void AfterRound(std::chrono::system_clock::time_point at, int64_t siteSerial);
  // Thins the site's visits now, whatever the day; what it removed.
  lm::records::ThinningCounts Thin(std::chrono::system_clock::time_point at, int64_t siteSerial);
  // Forgets the monitor's notices delivered before the probes' time; how many.
  int64_t ForgetNotices(std::chrono::system_clock::time_point at);

 private:
  lm::records::Database& Db();

  std::filesystem::path store_;
  lm::records::RetentionPolicy policy_;
  lm::records::ThinningScope scope_;
  std::ostream& log_;
  std::optional<lm::records::Database> db_;
  int64_t lastDay_ = -1;
};

}  // namespace lm::monitor
