// The monitor's schedule, back-off, stop handling and log lines, with a
// fake clock and a scripted survey; and the stop signals for real.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <sstream>
#include <stdexcept>
#include <thread>

#include "lm/monitor/loop/Backoff.h"
#include "lm/monitor/config/Duration.h"
#include "lm/monitor/loop/MonitorLog.h"
#include "lm/monitor/loop/MonitorLoop.h"
#include "lm/monitor/loop/StopSignals.h"

using namespace lm::monitor;
using namespace std::chrono_literals;
using std::chrono::milliseconds;

namespace {

TEST(MonitorDuration, ParsesIntervalTexts) {
  struct Case {
    const char* text;
    std::optional<int64_t> seconds;
  } cases[] = {
      {"30s", 30},   {"5m", 300},        {"1h", 3600},      {"1h30m", 5400}, {"1d", 86400},
      {"2h0m5s", 7205}, {"7d", 604800},  {"", {}},          {"30", {}},      {"s", {}},
      {"0s", {}},    {"0h0m", {}},       {"8d", {}},        {"1x", {}},      {"30m1h", {}},
      {"1m1m", {}},  {"-5s", {}},        {" 5s", {}},       {"5s ", {}},     {"99999999999999s", {}},
  };
  for (const Case& c : cases) {
    auto parsed = ParseDuration(c.text);
    EXPECT_EQ(parsed ? std::optional<int64_t>(parsed->count()) : std::nullopt, c.seconds) << c.text;
    if (parsed) {
      EXPECT_EQ(ParseDuration(FormatDuration(*parsed)), parsed) << c.text;
    }
  }
}

TEST(MonitorBackoff, DoublesFromTheFirstWaitUpToTheCeiling) {
  struct Case {
    milliseconds first, ceiling;
    std::vector<int64_t> waits;  // ms, successive Next() values
  } cases[] = {
      {1s, 10s, {1000, 2000, 4000, 8000, 10000, 10000}},
      {1s, 1s, {1000, 1000, 1000}},
      {1s, 3s, {1000, 2000, 3000, 3000}},
      {2s, 1s, {2000, 2000}},  // a ceiling below the first wait
      {1s, milliseconds(INT64_MAX / 3), {1000, 2000, 4000}},
  };
  for (const Case& c : cases) {
    Backoff backoff(c.first, c.ceiling);
    for (int64_t expected : c.waits) EXPECT_EQ(backoff.Next().count(), expected);
    backoff.Reset();
    EXPECT_EQ(backoff.Next(), std::max(c.first, milliseconds(1)));
  }
  Backoff huge(1s, milliseconds(INT64_MAX));
  for (int i = 0; i < 80; ++i) ASSERT_GT(huge.Next().count(), 0) << "overflowed after " << i;
}

// A clock whose waits move its hands at once.
class FakeClock : public MonitorClock {
 public:
  TimePoint Now() override { return now_; }
  std::chrono::system_clock::time_point WallNow() override {
    return std::chrono::system_clock::time_point(std::chrono::hours(493200)) + (now_ - TimePoint());
  }
  bool WaitUntil(TimePoint deadline, CancelToken& stop) override {
    if (stop.Cancelled()) return true;
    if (deadline > now_) now_ = deadline;
    return false;
  }
  void Advance(milliseconds by) { now_ += by; }
  int64_t Seconds() const { return std::chrono::duration_cast<milliseconds>(now_ - TimePoint()).count() / 1000; }

 private:
  TimePoint now_{};
};

// One scripted try: how it ends and how long it takes.
struct Step {
  char outcome;  // 'd' done, 'f' failed, 'x' throws, 's' stopped (the stop request comes in the middle)
  int seconds;
};

struct ScriptRun {
  std::vector<int64_t> starts;  // seconds on the fake clock
  std::string log;
  MonitorTotals totals;
};

ScriptRun RunScript(const std::vector<Step>& script, milliseconds every) {
  FakeClock clock;
  CancelToken stop;
  ScriptRun run;
  std::size_t at = 0;
  SurveyAttempt attempt = [&](CancelToken& token) {
    run.starts.push_back(clock.Seconds());
    AttemptResult result;
    if (at == script.size()) {  // the script is over: a stop between surveys
      token.Cancel();
      result.kind = AttemptResult::Kind::kFailed;
      result.error = "cancelled";
      run.starts.pop_back();
      return result;
    }
    const Step step = script[at++];
    clock.Advance(std::chrono::seconds(step.seconds));
    if (step.outcome == 'x') throw std::runtime_error("bad answer");
    if (step.outcome == 's') token.Cancel(), result.kind = AttemptResult::Kind::kStopped;
    if (step.outcome == 'f') result.kind = AttemptResult::Kind::kFailed, result.error = "unit not found";
    if (step.outcome == 'd') {
      result.kind = AttemptResult::Kind::kDone;
      result.summary.answered = 3;
      result.summary.silent = 1;
    }
    return result;
  };
  std::ostringstream log;
  MonitorLoop loop({"GREENHOUSE", every, 1s}, clock, attempt, log);
  run.totals = loop.Run(stop);
  run.log = log.str();
  return run;
}

TEST(MonitorLoop, SchedulesSurveysAndBacksOffAfterFailures) {
  struct Case {
    const char* name;
    std::vector<Step> script;
    milliseconds every;
    std::vector<int64_t> starts;
    int surveys, failures;
  } cases[] = {
      {"every interval from each start", {{'d', 2}, {'d', 2}, {'d', 2}}, 10s, {0, 10, 20}, 3, 0},
      {"a long survey is followed at once", {{'d', 15}, {'d', 1}, {'d', 1}}, 10s, {0, 15, 25}, 3, 0},
      {"failures double the wait up to the interval",
       {{'f', 0}, {'f', 0}, {'f', 0}, {'f', 0}, {'f', 0}, {'f', 0}}, 10s, {0, 1, 3, 7, 15, 25}, 0, 6},
      {"a failure's wait counts from its end", {{'f', 3}, {'f', 3}, {'d', 1}}, 60s, {0, 4, 9}, 1, 2},
      {"a success starts the back-off over",
       {{'d', 0}, {'f', 0}, {'f', 0}, {'d', 0}, {'f', 0}, {'d', 0}}, 60s, {0, 60, 61, 63, 123, 124}, 3, 3},
      {"a stop inside a survey ends it", {{'d', 1}, {'s', 1}, {'d', 1}}, 5s, {0, 5}, 1, 0},
      {"a survey that throws is a failed try", {{'x', 0}, {'x', 0}, {'d', 1}}, 5s, {0, 1, 3}, 1, 2},
  };
  for (const Case& c : cases) {
    ScriptRun run = RunScript(c.script, c.every);
    EXPECT_EQ(run.starts, c.starts) << c.name;
    EXPECT_EQ(run.totals.surveys, c.surveys) << c.name;
    EXPECT_EQ(run.totals.failures, c.failures) << c.name;
    std::istringstream lines(run.log);
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
      EXPECT_NE(line.find(" unit=GREENHOUSE "), std::string::npos) << c.name << ": " << line;
    }
    EXPECT_EQ(count, c.surveys + c.failures) << c.name << "\n" << run.log;
  }
}

TEST(MonitorLoop, LogsOneLinePerTry) {
  ScriptRun run = RunScript({{'d', 2}, {'f', 0}, {'x', 0}}, 60s);
  EXPECT_EQ(run.log,
            "2026-04-07T00:00:00Z unit=GREENHOUSE answered=3 silent=1 weakest=none duration=2.0s\n"
            "2026-04-07T00:01:00Z unit=GREENHOUSE failed=\"unit not found\" retry=1s\n"
            "2026-04-07T00:01:01Z unit=GREENHOUSE failed=\"internal error: bad answer\" retry=2s\n");
}

TEST(MonitorLog, QuotesWhatWouldSplitTheLine) {
  const auto at = std::chrono::system_clock::time_point(std::chrono::seconds(1796083200));
  struct Case {
    std::string line, expected;
  } cases[] = {
      {SurveyLogLine(at, "009A0011", {6, 0, WeakestHop{"009A0011", "9A100002", 91.6}, 17}, 4049ms),
       "2026-12-01T00:00:00Z unit=009A0011 answered=6 silent=0 weakest=009A0011>9A100002 level=92 "
       "duration=4.0s record=17"},
      {SurveyLogLine(at, "Green house", {0, 4, std::nullopt, std::nullopt}, 0ms),
       "2026-12-01T00:00:00Z unit=\"Green house\" answered=0 silent=4 weakest=none duration=0.0s"},
      {FailureLogLine(at, "a\"b", "line one\nline \"two\" \\", 1500ms),
       "2026-12-01T00:00:00Z unit=\"a\\\"b\" failed=\"line one line \\\"two\\\" \\\\\" retry=2s"},
      {FailureLogLine(at, "U", "", 3600s), "2026-12-01T00:00:00Z unit=U failed=unknown retry=3600s"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.line, c.expected);
}

TEST(MonitorStop, CancelWakesAWaiterAndRunsCallbacksOnce) {
  CancelToken token;
  int calls = 0;
  CancelSubscription counted(token, [&] { ++calls; });
  EXPECT_FALSE(token.WaitUntil(std::chrono::steady_clock::now() + 10ms));
  std::thread canceller([&] {
    std::this_thread::sleep_for(50ms);
    token.Cancel();
    token.Cancel();
  });
  const auto before = std::chrono::steady_clock::now();
  EXPECT_TRUE(token.WaitUntil(before + 30s));
  EXPECT_LT(std::chrono::steady_clock::now() - before, 10s);
  canceller.join();
  EXPECT_EQ(calls, 1);
  bool late = false;
  CancelSubscription after(token, [&] { late = true; });  // already set: runs at once
  EXPECT_TRUE(late);
}

TEST(MonitorStop, EitherSignalCancelsAndTheHandlersAreGivenBack) {
  for (int signal : {SIGTERM, SIGINT}) {
    struct sigaction before {};
    sigaction(signal, nullptr, &before);
    CancelToken token;
    {
      StopSignals stop(token);
      EXPECT_THROW(StopSignals second(token), std::logic_error);
      kill(getpid(), signal);
      EXPECT_TRUE(token.WaitUntil(std::chrono::steady_clock::now() + 10s)) << signal;
      EXPECT_EQ(stop.Received(), signal);
    }
    struct sigaction after {};
    sigaction(signal, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler) << signal;
  }
}

}  // namespace
