#include "lm/monitor/service/MonitorRun.h"

#include <cmath>

#include "lm/monitor/AlarmMonitor.h"
#include "lm/monitor/loop/MonitorLog.h"
#include "lm/monitor/retention/RetentionKeeper.h"
#include "lm/monitor/rules/AlarmEngine.h"
#include "lm/monitor/service/RoundWatchdog.h"
#include "lm/monitor/service/ServiceNotifier.h"
#include "lm/monitor/sync/TeamSyncWorker.h"

namespace lm::monitor {
namespace {

int64_t Ms(std::chrono::system_clock::time_point at) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
}

}  // namespace

std::string RoundStatus(const AttemptResult& result, std::chrono::system_clock::time_point at, int firing) {
  const std::string when = UtcText(at);
  if (result.kind != AttemptResult::Kind::kDone) return "last try " + when + " failed: " + result.error;
  const SurveySummary& s = result.summary;
  std::string text = "last round " + when + ": " + std::to_string(s.answered) + " answered, " +
                     std::to_string(s.silent) + " silent";
  if (s.weakest) {
    text += ", weakest " + s.weakest->from + ">" + s.weakest->to + " " + std::to_string(std::lround(s.weakest->level));
  }
  return text + "; " + std::to_string(firing) + (firing == 1 ? " alarm" : " alarms") + " firing";
}

MonitorTotals RunMonitor(MonitorParts& parts, CancelToken& stop) {
  ServiceNotifier quiet;  // not a service: sends nothing
  ServiceNotifier& notifier = parts.notifier ? *parts.notifier : quiet;
  RoundWatchdog watchdog(notifier, parts.roundLimit);
  MonitorPlan plan = parts.plan;
  if (notifier.WatchdogInterval().count() > 0) {
    plan.beatEvery = std::chrono::duration_cast<std::chrono::milliseconds>(notifier.WatchdogInterval() / 3);
  }
  MonitorLoop loop(plan, parts.clock, parts.survey, parts.log);
  loop.OnSurvey([&](const AttemptResult& r, std::chrono::system_clock::time_point at) {
    if (parts.alarms) parts.alarms->OnRound(r.summary.survey, r.summary.siteSerial, r.summary.siteName, Ms(at));
    if (parts.sync) {
      if (auto serial = SerialNumberOf(r.summary.siteSerial)) parts.sync->Request(*serial);
    }
    if (auto serial = SerialNumberOf(r.summary.siteSerial); serial && parts.retention) {
      parts.retention->AfterRound(at, *serial, stop);
    }
  });
  bool ready = false;
  loop.OnBeat([&](MonitorLoop::Phase phase, const AttemptResult* result) {
    if (phase == MonitorLoop::Phase::kWaiting) return watchdog.Waiting();
    if (phase == MonitorLoop::Phase::kRoundStarted) return watchdog.RoundStarted();
    watchdog.RoundEnded();
    const std::string status = RoundStatus(*result, parts.clock.WallNow(), parts.alarms ? parts.alarms->Firing() : 0);
    // Ready once the first round has tried the base unit: a unit that is
    // away is the monitor's work (it keeps trying), not a failed start.
    if (!ready) notifier.Ready(status);
    else notifier.Status(status);
    ready = true;
  });
  return loop.Run(stop);
}

}  // namespace lm::monitor
