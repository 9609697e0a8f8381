#pragma once
// Tells systemd's watchdog that the round loop lives. The loop reports when
// it waits between rounds and when a round starts and ends; a thread of its
// own sends WATCHDOG=1 every third of the watchdog's interval while the
// loop has reported within the interval, or while a round runs within its
// limit. A loop stuck in a wait, or a round past its limit (a hung device
// call, a deadlock), stops the pings, and systemd restarts the service.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "lm/monitor/service/ServiceNotifier.h"

namespace lm::monitor {

class RoundWatchdog {
 public:
  using Clock = std::chrono::steady_clock;

  // Nothing is sent when `notifier` has no watchdog interval.
  RoundWatchdog(ServiceNotifier& notifier, std::chrono::milliseconds roundLimit);
  ~RoundWatchdog();
  RoundWatchdog(const RoundWatchdog&) = delete;
  RoundWatchdog& operator=(const RoundWatchdog&) = delete;

  void Waiting();
  void RoundStarted();
  void RoundEnded();

  // Whether the loop counts as alive at `now`: it reported within
  // `interval`, or the round it is in started within `roundLimit`.
  static bool Alive(Clock::time_point now, Clock::time_point lastReport, bool inRound,
                    std::chrono::microseconds interval, std::chrono::milliseconds roundLimit);

 private:
  void Run();

  ServiceNotifier& notifier_;
  const std::chrono::milliseconds roundLimit_;
  std::atomic<int64_t> lastReport_;  // steady clock, ns
  std::atomic<bool> inRound_{false};
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace lm::monitor
