#include "lm/monitor/loop/MonitorLoop.h"

#include <algorithm>
#include <exception>
#include <ostream>

#include "lm/monitor/loop/MonitorLog.h"

namespace lm::monitor {

using std::chrono::duration_cast;
using std::chrono::milliseconds;

MonitorLoop::MonitorLoop(MonitorPlan plan, MonitorClock& clock, SurveyAttempt attempt, std::ostream& log)
    : plan_(std::move(plan)),
      clock_(clock),
      attempt_(std::move(attempt)),
      log_(log),
      backoff_(plan_.firstRetry, plan_.every) {}

// A try that throws is a failed try: nothing but a stop ends the monitor.
AttemptResult MonitorLoop::Attempt(CancelToken& stop) {
  try {
    return attempt_(stop);
  } catch (const std::exception& e) {
    return {AttemptResult::Kind::kFailed, {}, std::string("internal error: ") + e.what()};
  } catch (...) {
    return {AttemptResult::Kind::kFailed, {}, "internal error"};
  }
}

void MonitorLoop::Beat(Phase phase, const AttemptResult* result) {
  if (beat_) beat_(phase, result);
}

bool MonitorLoop::Wait(MonitorClock::TimePoint deadline, CancelToken& stop) {
  if (plan_.beatEvery.count() <= 0) return clock_.WaitUntil(deadline, stop);
  for (;;) {
    const MonitorClock::TimePoint slice = std::min(deadline, clock_.Now() + plan_.beatEvery);
    if (clock_.WaitUntil(slice, stop)) return true;
    if (clock_.Now() >= deadline) return false;
    Beat(Phase::kWaiting);
  }
}

MonitorTotals MonitorLoop::Run(CancelToken& stop) {
  MonitorTotals totals;
  MonitorClock::TimePoint next = clock_.Now();
  while (!Wait(next, stop)) {
    const MonitorClock::TimePoint started = clock_.Now();
    const auto startedWall = clock_.WallNow();
    Beat(Phase::kRoundStarted);
    AttemptResult result = Attempt(stop);
    // A failure caused by the stop request is the stop; a survey done as it
    // came is still logged.
    if (result.kind == AttemptResult::Kind::kStopped ||
        (result.kind == AttemptResult::Kind::kFailed && stop.Cancelled())) {
      totals.stoppedInSurvey = true;
      break;
    }
    if (result.kind == AttemptResult::Kind::kDone) {
      ++totals.surveys;
      backoff_.Reset();
      const milliseconds took = duration_cast<milliseconds>(clock_.Now() - started);
      log_ << SurveyLogLine(startedWall, plan_.unit, result.summary, took) << '\n' << std::flush;
      if (observer_) observer_(result, clock_.WallNow());
      Beat(Phase::kRoundEnded, &result);
      // A survey longer than the interval is followed at once by the next.
      next = started + plan_.every;
    } else {
      ++totals.failures;
      const milliseconds wait = backoff_.Next();
      log_ << FailureLogLine(startedWall, plan_.unit, result.error, wait) << '\n' << std::flush;
      Beat(Phase::kRoundEnded, &result);
      next = clock_.Now() + wait;
    }
  }
  return totals;
}

}  // namespace lm::monitor
