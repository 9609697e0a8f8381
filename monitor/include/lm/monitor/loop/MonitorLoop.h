#pragma once
// The monitor's schedule: a survey every interval, counted from the start of
// the last one that ran; after a failed try the next comes after a back-off
// (doubling from one second up to the interval). Nothing but a stop request
// ends it; a stop is noticed between surveys at once and inside a survey
// between probes.

#include <chrono>
#include <functional>
#include <iosfwd>
#include <string>

#include "lm/monitor/loop/Backoff.h"
#include "lm/monitor/loop/CancelToken.h"
#include "lm/monitor/loop/MonitorClock.h"
#include "lm/monitor/loop/SurveyAttempt.h"

namespace lm::monitor {

struct MonitorPlan {
  std::string unit;  // how the log names the base unit
  std::chrono::milliseconds every = std::chrono::hours(1);
  std::chrono::milliseconds firstRetry = std::chrono::seconds(1);
  // How often a wait between rounds reports that the loop lives (the
  // watchdog's); zero: only around rounds.
  std::chrono::milliseconds beatEvery{0};
};

struct MonitorTotals {
  int surveys = 0;   // done
  int failures = 0;  // tries that found no unit or lost it
  bool stoppedInSurvey = false;
};

class MonitorLoop {
 public:
  MonitorLoop(MonitorPlan plan, MonitorClock& clock, SurveyAttempt attempt, std::ostream& log);

  // Runs until `stop` is set; one log line per try.
  MonitorTotals Run(CancelToken& stop);

  // Called after each done survey is logged, with the wall time it ended.
  using RoundObserver = std::function<void(const AttemptResult&, std::chrono::system_clock::time_point)>;
  void OnSurvey(RoundObserver observer) { observer_ = std::move(observer); }

  // What the loop is doing, for the watchdog and the service's status:
  // waiting (every plan.beatEvery), a round started, a round ended (with
  // what it gave, done or failed, after its log line).
  enum class Phase { kWaiting, kRoundStarted, kRoundEnded };
  using BeatObserver = std::function<void(Phase, const AttemptResult*)>;
  void OnBeat(BeatObserver observer) { beat_ = std::move(observer); }

 private:
  AttemptResult Attempt(CancelToken& stop);
  // Waits until `deadline` in slices of plan.beatEvery; true when stopped.
  bool Wait(MonitorClock::TimePoint deadline, CancelToken& stop);
  void Beat(Phase phase, const AttemptResult* result = nullptr);

  MonitorPlan plan_;
  MonitorClock& clock_;
  SurveyAttempt attempt_;
  std::ostream& log_;
  Backoff backoff_;
  RoundObserver observer_;
  BeatObserver beat_;
};

}  // namespace lm::monitor
