#include "lm/monitor/service/RoundWatchdog.h"

namespace lm::monitor {
namespace {

int64_t Ticks(RoundWatchdog::Clock::time_point at) { return at.time_since_epoch().count(); }

}  // namespace

RoundWatchdog::RoundWatchdog(ServiceNotifier& notifier, std::chrono::milliseconds roundLimit)
    : notifier_(notifier), roundLimit_(roundLimit), lastReport_(Ticks(Clock::now())) {
  if (notifier_.WatchdogInterval().count() > 0) thread_ = std::thread([this] { Run(); });
}

RoundWatchdog::~RoundWatchdog() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void RoundWatchdog::Waiting() { lastReport_.store(Ticks(Clock::now())); }

void RoundWatchdog::RoundStarted() {
  lastReport_.store(Ticks(Clock::now()));
  inRound_.store(true);
}

void RoundWatchdog::RoundEnded() {
  inRound_.store(false);
  lastReport_.store(Ticks(Clock::now()));
}

bool RoundWatchdog::Alive(Clock::time_point now, Clock::time_point lastReport, bool inRound,
                          std::chrono::microseconds interval, std::chrono::milliseconds roundLimit) {
  const auto since = now - lastReport;
  return inRound ? since < roundLimit : since < interval;
}

void RoundWatchdog::Run() {
  const auto interval = notifier_.WatchdogInterval();
  std::unique_lock lock(mutex_);
  while (!stop_.wait_for(lock, interval / 3, [this] { return stopping_; })) {
    const Clock::time_point last{Clock::duration(lastReport_.load())};
    if (Alive(Clock::now(), last, inRound_.load(), interval, roundLimit_)) notifier_.Watchdog();
  }
}

}  // namespace lm::monitor
