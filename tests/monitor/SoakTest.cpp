// A time-compressed soak of the monitor's round loop, rules, site records
// and outbox: a 256-unit site (16 repeaters, 15 units behind each) surveyed
// every 10 minutes on a clock the test drives, with units and repeaters
// going silent and the webhook receiver (an HTTP server on 127.0.0.1)
// refusing for hours at a time, the team server stalled by an
// administrator's table lock for a day at a time, and the disk full for an
// hour (the store on a tmpfs of its own that a ballast fills). At the end
// every notice reached the receiver, once, in order, every visit reached the
// team server, and the figures are printed: store size, RSS growth, notices
// lost and repeated, rounds missed and not recorded, and the time History's
// queries take on the store. Each round is recorded as the page records it
// (SoakSiteRecords) and the retention policy thins on the driven clock.
// LM_SOAK_ROUNDS sets the rounds (default 25 hours, 152, for CI, from
// 23:00 UTC so that a day's visit ends, reaches the team server and is
// thinned at the next midnight; a year is 52560,
// with the policy's defaults: 30 days and a year). LM_SOAK_KEEP=P,H sets
// the days.
#include <gtest/gtest.h>
#include <malloc.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <mutex>
#include <sstream>
#include <thread>

#include "MonitorTestSupport.h"
#include "SoakParts.h"
#include "SoakSiteRecords.h"
#include "lm/monitor/AlarmMonitor.h"
#include "lm/monitor/config/Secrets.h"
#include "lm/monitor/retention/RetentionKeeper.h"
#include "lm/monitor/service/MonitorRun.h"
#include "lm/monitor/sync/TeamSyncWorker.h"
#include "lm/records/AlarmLedger.h"
#include "lm/records/Database.h"

using namespace lm::monitor;
using namespace std::chrono_literals;

namespace {

class DrivenClock : public MonitorClock {
 public:
  TimePoint Now() override { return now_; }
  std::chrono::system_clock::time_point WallNow() override {
    return std::chrono::system_clock::time_point(std::chrono::hours(493200 - 1)) + (now_ - TimePoint());
  }
  bool WaitUntil(TimePoint deadline, CancelToken& stop) override {
    if (stop.Cancelled()) return true;
    if (deadline > now_) now_ = deadline;
    return false;
  }

 private:
  TimePoint now_{};
};

// A webhook receiver: answers 503 while down, else takes each notice.
class Receiver {
 public:
  Receiver() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    listen(fd_, 16);
    thread_ = std::thread([this] { Serve(); });
  }
  ~Receiver() {
    shutdown(fd_, SHUT_RDWR);
    close(fd_);
    thread_.join();
  }
  int Port() const { return port_; }
  std::atomic<bool> down{false};
  std::vector<std::string> Taken() {
    std::lock_guard lock(mutex_);
    return taken_;
  }

 private:
  void Serve() {
    for (;;) {
      const int c = accept(fd_, nullptr, nullptr);
      if (c < 0) return;
      std::string request;
      char buffer[65536];
      size_t need = std::string::npos;
      while (need == std::string::npos || request.size() < need) {
        const ssize_t n = read(c, buffer, sizeof buffer);
        if (n <= 0) break;
        request.append(buffer, n);
        const size_t head = request.find("\r\n\r\n");
        const size_t length = request.find("Content-Length: ");
        if (head != std::string::npos && length != std::string::npos) {
          need = head + 4 + std::stoul(request.substr(length + 16));
        }
      }
      const bool refuse = down.load();
      if (!refuse && need != std::string::npos) {
        auto body = lm::json::Parse(request.substr(request.find("\r\n\r\n") + 4));
        const auto& alert = body->get("alerts").get<lm::json::Array>().at(0);
        std::lock_guard lock(mutex_);
        taken_.push_back(alert.get("fingerprint").get<std::string>() + " " + alert.get("status").get<std::string>() +
                         " " + alert.get("startsAt").get<std::string>());
      }
      const std::string answer = refuse ? "HTTP/1.1 503 Busy\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"
                                        : "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      (void)!write(c, answer.data(), answer.size());
      close(c);
    }
  }
  int fd_ = -1, port_ = 0;
  std::mutex mutex_;
  std::vector<std::string> taken_;
  std::thread thread_;
};

std::string Serial(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", n);
  return text;
}

// Round `round` of the site: repeater r silent for 3 rounds every 97+r
// rounds, unit u silent for 4 rounds every 131+u, levels wandering.
lm::json::Value SiteSurvey(int round) {
  using lm::json::MakeObject;
  using lm::json::Number;
  using lm::json::Value;
  lm::json::Array results;
  auto hop = [&](const std::string& serial, const std::string& kind, bool heard, int level) {
    return MakeObject({{"serial", Value(serial)}, {"label", Value(kind + "-" + serial.substr(4))}, {"kind", Value(kind)},
                       {"verdict", Value(heard ? (level < 80 ? "bad" : "good") : "silent")},
                       {"reading", MakeObject({{"battery", Number(90)}, {"batteryClass", Value("ok")}})},
                       {"figures", MakeObject({{"asked", Number(1)}, {"answered", Number(heard ? 1 : 0)},
                                               {"median", heard ? Number(level) : Value()}})}});
  };
  for (int r = 0; r < 16; ++r) {
    const bool repeaterHeard = round % (97 + r) >= 3;
    for (int u = 0; u < 15; ++u) {
      const int unit = r * 15 + u;
      const bool heard = repeaterHeard && round % (131 + unit) >= 4;
      const int level = 100 + (round * 7 + unit * 13) % 60;
      lm::json::Array hops{hop(Serial(0x00C80000 + r), "repeater", repeaterHeard, 150),
                           hop(Serial(0x00BC0000 + unit), "remote", heard, level)};
      results.push_back(MakeObject({{"status", Value("ok")}, {"hops", Value(hops)}}));
    }
  }
  return MakeObject({{"results", Value(results)}});
}

// A run shorter than the probes' 30 days keeps probes 1 hour and hop
// statistics 2, so that the first day's visit, ended at midnight, is thinned
// by both tiers the next round.
lm::records::RetentionPolicy SoakPolicy(int rounds) {
  using std::chrono::hours;
  lm::records::RetentionPolicy policy = rounds >= 30 * 144 ? lm::records::RetentionPolicy{}
                                                           : lm::records::RetentionPolicy{hours(1), hours(2)};
  int probes = 0, hops = 0;
  if (const char* keep = std::getenv("LM_SOAK_KEEP"); keep && std::sscanf(keep, "%d,%d", &probes, &hops) == 2) {
    policy = {hours(probes * 24), hours(hops * 24)};
  }
  return policy;
}

// Bytes per table and index, when SQLite can say.
std::string SizesByTable(const std::filesystem::path& store) {
  std::string text;
  try {
    lm::records::Database db(store);
    auto st = db.Prepare("SELECT name, sum(pgsize) FROM dbstat GROUP BY name ORDER BY 2 DESC LIMIT 9");
    char size[32];
    while (st.Step()) {
      std::snprintf(size, sizeof size, "=%.2fMB", st.Int(1) / 1e6);
      text += " " + st.Text(0) + size;
    }
  } catch (const std::exception& e) {
    text = std::string(" (no sizes by table: ") + e.what() + ")";
  }
  return text;
}

long RssKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// What the process's allocations hold, apart from what malloc keeps free.
long HeapKb() {
  const struct mallinfo2 heap = mallinfo2();
  return static_cast<long>((heap.uordblks + heap.hblkhd) / 1024);
}

// The largest resident set the process had (VmHWM), in kB.
long PeakRssKb() {
  std::ifstream status("/proc/self/status");
  for (std::string name; status >> name;) {
    long kb = 0;
    if (name == "VmHWM:" && status >> kb) return kb;
    status.ignore(4096, '\n');
  }
  return 0;
}

// When the trouble comes: the disk full for an hour from `fullFrom`; the
// server stalled `stallFor` rounds from the middle of every `stallEvery`.
struct Troubles {
  int fullFrom, stallEvery, stallFor;
  explicit Troubles(int rounds)
      : fullFrom(rounds >= 1440 ? 100 * 144 + 60 : rounds * 2 / 3),
        stallEvery(std::min(rounds, 7 * 144)),
        stallFor(std::min(150, rounds / 4)) {}
  bool DiskFull(int round) const { return round >= fullFrom && round < fullFrom + 6; }
  bool Stalled(int round) const {
    const int at = round % stallEvery - stallEvery / 2;
    return at >= 0 && at < stallFor;
  }
};

lm::monitor::SyncSettings SoakSync(const std::string& server) {
  lm::monitor::SyncSettings s;
  s.server = server;
  s.lockTimeout = 1s;
  s.statementTimeout = 20s;
  s.firstRetry = 200ms;
  s.retryCeiling = 2s;
  return s;
}

// Asks for one more sync and waits for it to finish.
bool SyncedOnceMore(TeamSyncWorker& sync, int64_t site, std::chrono::seconds within) {
  const int before = sync.Totals().done;
  sync.Request(site);
  const auto deadline = std::chrono::steady_clock::now() + within;
  while (sync.Totals().done == before) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

// A compressed day lasts seconds, while the team server takes tens of
// seconds to take in a day's visit: a day of ten-minute rounds gives it
// hours. So a new day waits (in the test, never in the monitor) until the
// days before it reached the server, unless the server is stalled.
bool ServerCaughtUp(const std::filesystem::path& store, TeamSyncWorker& sync, std::chrono::seconds within) {
  lm::records::Database db(store);
  const auto deadline = std::chrono::steady_clock::now() + within;
  for (;;) {
    sync.Request(test::SoakSiteRecords::kSite);
    if (db.QueryInt("SELECT count(*) FROM visits v WHERE v.ended_at IS NOT NULL AND NOT EXISTS "
                    "(SELECT 1 FROM sync_marks m WHERE m.visit_id = v.id)") == 0) {
      return true;
    }
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(100ms);
  }
}

TEST(MonitorSoak, ASiteSurveyedEveryTenMinutesLosesNoNoticeAndStaysBounded) {
  const char* asked = std::getenv("LM_SOAK_ROUNDS");
  const int rounds = asked ? std::atoi(asked) : 152;
  const lm::records::RetentionPolicy policy = SoakPolicy(rounds);
  const Troubles troubles(rounds);
  test::TempDir dir;
  test::SoakDisk disk(dir.path, rounds >= 1440 ? 4096 : 512);  // before any thread
  test::SoakServer server;
  const auto store = dir.path / "site-records.sqlite";
  Receiver receiver;
  AlarmSettings settings;
  settings.monitor = "monitor-009A0011";
  settings.webhook = "http://127.0.0.1:" + std::to_string(receiver.Port()) + "/hook";
  settings.retry = {20ms, 100ms};
  test::KeptLines log, err;  // a year of lines kept out of the figures
  AlarmMonitor alarms(settings, std::make_unique<lm::records::AlarmLedger>(store), log, err);
  alarms.Start();
  DrivenClock clock;
  CancelToken stop;
  test::SoakSiteRecords records(dir.path);
  test::KeptLines thinned({" compact"});
  // With a team server, nothing it has not received is thinned.
  RetentionKeeper retention(store, policy, {0, "monitor", settings.monitor, !server.Usable()}, thinned);
  test::KeptLines syncLog({" set-aside visit="});
  std::optional<TeamSyncWorker> sync;
  if (server.Usable()) sync.emplace(SoakSync(server.Uri()), store, syncLog);
  int done = 0, unrecorded = 0, stalls = 0, daysBehind = 0;
  long rssAfterWarmUp = 0, heapAfterWarmUp = 0;
  MonitorParts parts{MonitorPlan{"009A0011", 10min}, clock, [&](CancelToken& t) {
                       AttemptResult r;
                       r.kind = AttemptResult::Kind::kDone;
                       r.summary.survey = SiteSurvey(done);
                       r.summary.siteSerial = "009A0011";
                       if (troubles.DiskFull(done)) disk.Fill();
                       else disk.Free();
                       if (troubles.Stalled(done) && server.Usable() && !server.Stalled()) {
                         stalls += server.Stall() ? 1 : 0;
                       } else if (!troubles.Stalled(done)) {
                         server.Release();
                       }
                       try {
                         records.Round(done, clock.WallNow());
                       } catch (const std::exception&) {
                         ++unrecorded;  // as a full disk leaves the page's recorder
                       }
                       if (sync && !server.Stalled() && done % 144 == 6 && !ServerCaughtUp(store, *sync, 120s)) {
                         ++daysBehind;
                       }
                       // The receiver is down for 4 hours of every 3 days.
                       receiver.down = done % 432 >= 20 && done % 432 < 44;
                       if (done == 50) rssAfterWarmUp = RssKb(), heapAfterWarmUp = HeapKb();
                       if (++done == rounds) t.Cancel();
                       return r;
                     },
                     log};
  parts.alarms = &alarms;
  parts.retention = &retention;
  if (sync) parts.sync = &*sync;
  const auto began = std::chrono::steady_clock::now();
  const auto totals = RunMonitor(parts, stop);
  const auto roundsEnded = std::chrono::steady_clock::now();
  const long rssRoundsEnded = RssKb(), heapRoundsEnded = HeapKb();
  receiver.down = false;
  disk.Free();
  server.Release();
  const bool synced = sync && SyncedOnceMore(*sync, test::SoakSiteRecords::kSite, 600s);
  std::printf("soak: the rounds took %.1f s, the last sync %.1f s\n",
              std::chrono::duration<double>(roundsEnded - began).count(),
              std::chrono::duration<double>(std::chrono::steady_clock::now() - roundsEnded).count());
  if (sync) sync->Stop(2s);
  lm::records::AlarmLedger ledger(store);
  const std::string destination = ReceiverId("webhook", *settings.webhook);
  // A compressed year queues notices faster than they go out: wait while
  // the queue still moves.
  auto moved = std::chrono::steady_clock::now();
  for (size_t before = SIZE_MAX;;) {
    const size_t now = ledger.Pending(settings.monitor, destination, 1'000'000).size();
    if (now == 0 || std::chrono::steady_clock::now() - moved > 60s) break;
    if (now < before) moved = std::chrono::steady_clock::now();
    before = now;
    std::this_thread::sleep_for(now > 1000 ? 2s : 50ms);
  }
  alarms.Stop();
  const auto lost = ledger.Pending(settings.monitor, destination, 1'000'000).size();
  const auto taken = receiver.Taken();
  std::map<std::string, int> seen;
  int repeated = 0;
  for (const std::string& t : taken) repeated += seen[t]++ > 0;
  std::error_code ec;
  const auto file = std::filesystem::file_size(store, ec), wal = std::filesystem::file_size(store.string() + "-wal", ec);
  const auto size = file + wal;
  std::printf("soak: %d rounds (%.1f days), store %.1f MB, RSS growth %ld kB after round 50 (heap in use %+ld kB), notices %zu taken, "
              "%zu lost, %d repeated, %d rounds missed\n",
              totals.surveys, rounds / 144.0, size / 1e6, RssKb() - rssAfterWarmUp, HeapKb() - heapAfterWarmUp, taken.size(), lost, repeated,
              rounds - totals.surveys);
  // The WAL as found holds the last writes until a checkpoint moves them
  // into the file; the file after one is what the store keeps.
  const int64_t checkpointed = [&] {
    lm::records::Database db(store);
    db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
    return static_cast<int64_t>(std::filesystem::file_size(store, ec));
  }();
  std::printf("soak: store as found: file %.1f MB and WAL %.1f MB; the file after a checkpoint %.1f MB\n", file / 1e6,
              wal / 1e6, checkpointed / 1e6);
  // The round loop's own: at its end, before the last sync and the wait for
  // the outbox; the peak is a day's visit going to the team server.
  std::printf("soak: memory: RSS %ld kB after round 50, %+ld kB at the rounds' end (heap in use %+ld kB), peak %ld kB\n",
              rssAfterWarmUp, rssRoundsEnded - rssAfterWarmUp, heapRoundsEnded - heapAfterWarmUp, PeakRssKb());
  std::printf("soak: log lines: monitor %ld, errors %ld, sync %ld, thinning %ld\n", log.Lines(), err.Lines(),
              syncLog.Lines(), thinned.Lines());
  std::printf("soak: disk full for rounds %d-%d: %s; %d rounds not recorded\n", troubles.fullFrom,
              troubles.fullFrom + 5, disk.EverFull()  ? "filled"
                            : disk.Usable() ? "the ballast did not fit"
                                            : ("not tried, " + disk.WhyNot()).c_str(), unrecorded);
  const auto syncTotals = sync ? sync->Totals() : lm::monitor::SyncTotals{};
  const int64_t serverVisits = synced ? server.Count("SELECT count(*) FROM linkmeter.visits") : -1;
  std::printf("soak: team server: %s, %d stalls of %d rounds, %d syncs done, %d given up, %lld of %d visits there, "
              "%d days begun before the last reached it\n",
              server.Usable() ? "yes" : ("none, " + server.WhyNot()).c_str(), stalls, troubles.stallFor,
              syncTotals.done, syncTotals.failed, static_cast<long long>(serverVisits), records.Visits(), daysBehind);
  std::istringstream syncLines(syncLog.str());
  int setAside = 0;
  for (std::string line; std::getline(syncLines, line);) {
    if (line.find(" set-aside visit=") == std::string::npos) continue;
    if (++setAside <= 3) std::printf("soak: %s\n", line.c_str());
  }
  std::printf("soak: retention %ld/%ld hours, %d visits;%s\nsoak: History: %s\n", long(policy.probes.count()),
              long(policy.hops.count()),
              records.Visits(), SizesByTable(store).c_str(), records.TimedHistory().c_str());
  // What the policy keeps bounds the store: the probes and hop statistics
  // of the visit under way and of the time each tier keeps, and with a team
  // server the day before, thinned at the next midnight once it was sent.
  lm::records::Database db(store);
  const int64_t perRound = 256 * 5, hopsPerRound = 16 + 240 * 2;
  const int64_t unthinned = server.Usable() ? 288 : 144;
  const auto keptRounds = [&](std::chrono::hours keep) {
    return std::min<int64_t>(rounds, keep.count() * 6 + unthinned);
  };
  EXPECT_LE(db.QueryInt("SELECT count(*) FROM probes"), keptRounds(policy.probes) * perRound);
  EXPECT_LE(db.QueryInt("SELECT count(*) FROM hop_stats"), keptRounds(policy.hops) * hopsPerRound);
  if (records.Visits() > 1) {
    EXPECT_GT(db.QueryInt("SELECT count(*) FROM thinnings"), 0);
    if (rounds > policy.hops.count() * 6 + 6) {  // rounds past both tiers went whole
      EXPECT_GT(db.QueryInt("SELECT count(*) FROM thinned_surveys"), 0);
    }
  }
  const std::string lines = thinned.str();
  std::istringstream thinnedLines(lines);
  for (std::string line; std::getline(thinnedLines, line);) {
    if (line.find(" compact") != std::string::npos) std::printf("soak: %s\n", line.c_str());
  }
  const size_t last = lines.rfind('\n', lines.size() > 1 ? lines.size() - 2 : 0);
  std::printf("soak: %s", (last == std::string::npos || lines.size() < 1000 ? lines : lines.substr(last + 1)).c_str());
  EXPECT_EQ(totals.surveys, rounds);
  EXPECT_EQ(lost, 0u) << "the last error lines:\n" << err.str();
  EXPECT_EQ(repeated, 0);
  EXPECT_GT(taken.size(), 10u);
  // Once thinning frees pages the store reuses them, and a full disk
  // refuses nothing; before, it refuses the rounds' records.
  if (disk.Usable() && troubles.fullFrom < 6 + 144) {  // before the first thinning
    EXPECT_GT(unrecorded, 0) << "the full disk refused nothing";
  }
  if (server.Usable()) {
    EXPECT_TRUE(synced) << syncLog.str().substr(0, 4000);
    EXPECT_EQ(serverVisits, records.Visits());
    EXPECT_GT(syncTotals.failed, 0) << "no stall was felt";
    EXPECT_EQ(setAside, 0) << "the monitor's own visits set aside";
  }
}

}  // namespace
