// The monitor's team sync beside its rounds, against a real PostgreSQL with
// an administrator holding a table lock (as a long migration or a forgotten
// transaction would): the rounds go on meanwhile, the sync gives up within
// its lock timeout with the server's reason in the log and tries again, a
// stop leaves a try stuck on the server at once, and once the lock is
// released the visit arrives.
#include <regex>
#include <sstream>
#include <thread>

#include "../../records/sync/TeamSyncFixture.h"
#include "lm/monitor/loop/MonitorClock.h"
#include "lm/monitor/service/MonitorRun.h"
#include "lm/monitor/sync/TeamSyncWorker.h"

namespace lm::teamsync::test {
namespace {

using namespace std::chrono_literals;
using lm::monitor::SyncSettings;
using lm::monitor::TeamSyncWorker;
using Clock = std::chrono::steady_clock;

constexpr records::Millis kT0 = 1'765'000'000'000;

template <class F>
bool WaitFor(F done, std::chrono::seconds within) {
  const auto deadline = Clock::now() + within;
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

// Ten rounds of a scripted survey, every 20 ms.
int RoundsWhile(TeamSyncWorker& sync) {
  lm::monitor::SystemMonitorClock clock;
  lm::monitor::CancelToken stop;
  std::ostringstream log;
  int rounds = 0;
  lm::monitor::MonitorParts parts{lm::monitor::MonitorPlan{"009A0011", 20ms}, clock,
                                  [&](lm::monitor::CancelToken& t) {
                                    lm::monitor::AttemptResult r;
                                    r.kind = lm::monitor::AttemptResult::Kind::kDone;
                                    r.summary.siteSerial = "009A0011";
                                    if (++rounds == 10) t.Cancel();
                                    return r;
                                  },
                                  log};
  parts.sync = &sync;
  lm::monitor::RunMonitor(parts, stop);
  return rounds;
}

TEST_F(TeamSyncTest, ATableLockOnTheServerNeverHoldsUpTheRoundsAndTheSyncGivesUpSayingWhy) {
  Laptop laptop;
  records::test::RecordFullVisit(*laptop.store, kT0);
  PgConnection admin(server_->Uri(db_));
  admin.Exec("BEGIN");
  admin.Exec("LOCK TABLE linkmeter.visits IN ACCESS EXCLUSIVE MODE");

  SyncSettings settings;
  settings.server = server_->Uri(db_, "alice");
  settings.lockTimeout = 1s;
  settings.statementTimeout = 5s;
  settings.firstRetry = 200ms;
  settings.retryCeiling = 400ms;
  std::ostringstream log;
  {
    TeamSyncWorker sync(settings, laptop.File(), log);
    sync.Request(records::test::kSiteSerial);
    EXPECT_EQ(RoundsWhile(sync), 10);  // done while the first try waits on the lock
    EXPECT_EQ(sync.Totals().done, 0);
    ASSERT_TRUE(WaitFor([&] { return sync.Totals().failed >= 2; }, 30s)) << "no try gave up";
    EXPECT_FALSE(sync.Stop(2s));
  }
  EXPECT_NE(log.str().find("lock timeout"), std::string::npos) << log.str();
  EXPECT_NE(log.str().find(" retry="), std::string::npos) << log.str();
  // One line a try, though the server's reason spans several (its query, a caret under it).
  static const std::regex tryLine(R"(\S+Z sync site=\S+ failed="(?:[^"\\\r\n]|\\.)*" retry=\d+s)");
  std::istringstream lines(log.str());
  for (std::string line; std::getline(lines, line);) EXPECT_TRUE(std::regex_match(line, tryLine)) << line;

  // No lock timeout at all: a try waits on the lock, and a stop leaves it.
  settings.lockTimeout = 0ms;
  settings.statementTimeout = 0ms;
  std::ostringstream stuckLog;
  auto stuck = std::make_unique<TeamSyncWorker>(settings, laptop.File(), stuckLog);
  stuck->Request(records::test::kSiteSerial);
  std::this_thread::sleep_for(1s);  // connected and waiting on the lock by now, or soon
  const auto stopped = Clock::now();
  stuck->Stop(300ms);
  EXPECT_LT(Clock::now() - stopped, 2s);

  admin.Exec("ROLLBACK");
  settings.lockTimeout = 1s;
  std::ostringstream freeLog;
  TeamSyncWorker sync(settings, laptop.File(), freeLog);
  sync.Request(records::test::kSiteSerial);
  ASSERT_TRUE(WaitFor([&] { return sync.Totals().done >= 1; }, 60s)) << freeLog.str();
  sync.Stop(2s);
  EXPECT_EQ(ServerCount("SELECT count(*) FROM linkmeter.visits"), 1);
  EXPECT_NE(freeLog.str().find("sent=1"), std::string::npos) << freeLog.str();
}

}  // namespace
}  // namespace lm::teamsync::test
