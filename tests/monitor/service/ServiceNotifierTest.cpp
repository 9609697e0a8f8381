// The monitor as a Type=notify service, against a socket of the test's own
// in NOTIFY_SOCKET as systemd would give it: READY=1 with the first round's
// status, STATUS= after each round, WATCHDOG=1 while the loop lives and
// none once a round hangs past its limit.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "MonitorTestSupport.h"
#include "lm/monitor/service/MonitorRun.h"
#include "lm/monitor/service/RoundWatchdog.h"
#include "lm/monitor/service/ServiceNotifier.h"

using namespace lm::monitor;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

// The service manager's end: a datagram socket, every message with when it came.
struct NotifySocket {
  test::TempDir dir;
  int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  std::vector<std::pair<Clock::time_point, std::string>> got;

  NotifySocket() {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = (dir.path / "notify").string();
    path.copy(addr.sun_path, sizeof addr.sun_path - 1);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    timeval wait{0, 50000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    setenv("NOTIFY_SOCKET", path.c_str(), 1);
    setenv("WATCHDOG_USEC", "300000", 1);
    setenv("WATCHDOG_PID", std::to_string(getpid()).c_str(), 1);
  }
  ~NotifySocket() {
    unsetenv("NOTIFY_SOCKET");
    unsetenv("WATCHDOG_USEC");
    unsetenv("WATCHDOG_PID");
    close(fd);
  }
  void Drain() {
    char buffer[4096];
    for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) got.emplace_back(Clock::now(), std::string(buffer, n));
  }
};

AttemptResult Done(int answered) {
  AttemptResult r;
  r.kind = AttemptResult::Kind::kDone;
  r.summary.answered = answered;
  r.summary.silent = 1;
  r.summary.weakest = WeakestHop{"G1 R1", "HOUSE\n2", 92};
  return r;
}

TEST(MonitorService, TellsReadinessStatusAndWatchdogThenStopsPingingAHungRound) {
  NotifySocket manager;
  ServiceNotifier notifier;
  ASSERT_TRUE(notifier.Active());
  ASSERT_EQ(notifier.WatchdogInterval(), 300ms);
  CancelToken stop;
  std::atomic<int> rounds{0};
  std::atomic<bool> hanging{false};
  SystemMonitorClock clock;
  std::ostringstream log;
  MonitorParts parts{MonitorPlan{"009A0011", 100ms}, clock, [&](CancelToken& t) {
                       const int n = ++rounds;
                       if (n == 3) {  // a round that hangs far past its limit
                         hanging = true;
                         t.WaitUntil(std::chrono::steady_clock::now() + 2s);
                         hanging = false;
                       }
                       if (n >= 4) t.Cancel();
                       return Done(n);
                     },
                     log};
  parts.notifier = &notifier;
  parts.roundLimit = 200ms;
  std::thread runner([&] { RunMonitor(parts, stop); });
  Clock::time_point hangStarted{}, hangEnded{};
  while (rounds < 4) {
    manager.Drain();
    if (hanging && hangStarted == Clock::time_point{}) hangStarted = Clock::now();
    if (!hanging && hangStarted != Clock::time_point{} && hangEnded == Clock::time_point{}) hangEnded = Clock::now();
  }
  runner.join();
  manager.Drain();

  ASSERT_FALSE(manager.got.empty());
  EXPECT_EQ(manager.got.front().second.rfind("READY=1\nSTATUS=last round ", 0), 0u) << manager.got.front().second;
  EXPECT_NE(manager.got.front().second.find("1 answered, 1 silent, weakest G1 R1>HOUSE 2 92; 0 alarms firing"),
            std::string::npos) << manager.got.front().second;  // one line: the name's break is a space
  int statuses = 0, pings = 0, pingsInHang = 0;
  for (const auto& [at, message] : manager.got) {
    statuses += message.rfind("STATUS=", 0) == 0;
    if (message != "WATCHDOG=1") continue;
    ++pings;
    // Past the round's limit and the time a ping already on its way takes.
    if (at > hangStarted + 200ms + 150ms && at < hangEnded) ++pingsInHang;
  }
  EXPECT_GE(statuses, 2);  // the later rounds' summaries
  EXPECT_GE(pings, 1);     // while the loop lived
  EXPECT_EQ(pingsInHang, 0) << "the watchdog was fed while a round hung";
}

TEST(MonitorService, WatchdogCountsTheLoopAliveByItsReports) {
  const auto t0 = RoundWatchdog::Clock::time_point{} + 1h;
  struct Case {
    std::chrono::milliseconds since;
    bool inRound;
    bool alive;
  } cases[] = {{100ms, false, true}, {400ms, false, false}, {1s, true, true}, {31min, true, false}};
  for (const Case& c : cases) {
    EXPECT_EQ(RoundWatchdog::Alive(t0 + c.since, t0, c.inRound, 300ms, 30min), c.alive)
        << c.since.count() << " ms, in round " << c.inRound;
  }
}

}  // namespace
