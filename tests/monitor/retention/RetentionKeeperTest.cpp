// The retention keeper's weekly rebuild of a store that thinning left
// wasteful: when it runs, what it says, and that a stop leaves the store
// whole.
#include <gtest/gtest.h>

#include <sstream>

#include "MonitorTestSupport.h"
#include "lm/monitor/retention/RetentionKeeper.h"
#include "lm/records/Database.h"
#include "lm/records/Schema.h"

namespace lm::monitor {
namespace {

using std::chrono::days;
using std::chrono::system_clock;

// Pages left a third full, as rows shrunk where they stand leave them.
void MakeWasteful(const std::filesystem::path& store) {
  lm::records::Database db(store);
  lm::records::Migrate(db);
  db.Exec("CREATE TABLE ballast (b BLOB)");
  db.Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
          "INSERT INTO ballast SELECT randomblob(1300) FROM n");
  db.Exec("UPDATE ballast SET b = substr(b, 1, 500)");
  db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
}

int64_t BallastBytes(const std::filesystem::path& store) {
  lm::records::Database db(store);
  return db.QueryInt("SELECT sum(length(b)) FROM ballast");
}

struct Keeper {
  test::TempDir dir;
  std::filesystem::path store = dir.path / "site-records.sqlite";
  std::ostringstream log;
  RetentionKeeper keeper{store, {}, {0, "monitor", "monitor-009A0011", true}, log};
  CancelToken stop;
  Keeper() { MakeWasteful(store); }
};

const system_clock::time_point kWeekDay{days(20552)};  // 2026-04-09, a multiple of 7 days since 1970

TEST(RetentionKeeper, RebuildsAWastefulStoreOnTheWeeksDayOnlyAndSaysWhatItGaveBack) {
  Keeper k;
  const auto before = std::filesystem::file_size(k.store);
  k.keeper.AfterRound(kWeekDay + days(1), 0x009A0011, k.stop);
  k.keeper.AfterRound(kWeekDay + days(6), 0x009A0011, k.stop);
  EXPECT_EQ(k.log.str(), "") << "rebuilt on another day";
  EXPECT_EQ(std::filesystem::file_size(k.store), before);

  k.keeper.AfterRound(kWeekDay + days(7), 0x009A0011, k.stop);
  const std::string line = k.log.str();
  EXPECT_EQ(line.rfind("2026-04-16T00:00:00Z compacted from=", 0), 0u) << line;
  EXPECT_NE(line.find(" to="), std::string::npos) << line;
  EXPECT_LT(std::filesystem::file_size(k.store), before * 6 / 10);
  EXPECT_EQ(BallastBytes(k.store), 3000 * 500);

  k.keeper.AfterRound(kWeekDay + days(7) + std::chrono::hours(1), 0x009A0011, k.stop);
  k.keeper.AfterRound(kWeekDay + days(14), 0x009A0011, k.stop);
  EXPECT_EQ(k.log.str(), line) << "a store with nothing to give back rebuilt again";
}

TEST(RetentionKeeper, AStopAbandonsTheRebuildAndLeavesTheStoreAsItWas) {
  Keeper k;
  const auto before = std::filesystem::file_size(k.store);
  k.stop.Cancel();
  k.keeper.Compact(kWeekDay, RetentionKeeper::kWastedShare, k.stop);
  EXPECT_NE(k.log.str().find(" compaction failed=\"stopped\""), std::string::npos) << k.log.str();
  EXPECT_EQ(std::filesystem::file_size(k.store), before);
  EXPECT_EQ(BallastBytes(k.store), 3000 * 500);
  k.keeper.AfterRound(kWeekDay, 0x009A0011, k.stop);  // a stopped monitor starts none
  EXPECT_EQ(k.log.str().find("compacted"), std::string::npos);
}

}  // namespace
}  // namespace lm::monitor
