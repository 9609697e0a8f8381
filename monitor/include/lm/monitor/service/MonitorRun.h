#pragma once
// One run of the monitor, its parts put together: the round loop surveys on
// its schedule; after each round the alarm rules judge it (their notices
// go out on the outbox's thread), the team sync is asked for (on its own
// thread: no round ever waits for the server), the day's first round
// thins what the retention policy no longer keeps, systemd is told the round's
// summary, and the watchdog is fed while the loop lives.

#include <chrono>
#include <iosfwd>
#include <string>

#include "lm/monitor/loop/MonitorClock.h"
#include "lm/monitor/loop/MonitorLoop.h"

namespace lm::monitor {

class AlarmMonitor;
class RetentionKeeper;
class ServiceNotifier;
class TeamSyncWorker;

struct MonitorParts {
  MonitorPlan plan;
  MonitorClock& clock;
  SurveyAttempt survey;
  std::ostream& log;                   // the round and alarm lines
  AlarmMonitor* alarms = nullptr;      // none: no alarms
  TeamSyncWorker* sync = nullptr;      // none: no team server
  ServiceNotifier* notifier = nullptr; // none: not a service
  RetentionKeeper* retention = nullptr; // none: nothing thinned
  std::chrono::milliseconds roundLimit{std::chrono::minutes(30)};  // longer: hung, for the watchdog
};

MonitorTotals RunMonitor(MonitorParts& parts, CancelToken& stop);

// "last round 06:00:00Z: 6 answered, 1 silent, weakest A>B 92; 1 alarm firing"
// or "last try 06:00:00Z failed: why; next in 4s", for STATUS=.
std::string RoundStatus(const AttemptResult& result, std::chrono::system_clock::time_point at, int firing);

}  // namespace lm::monitor
