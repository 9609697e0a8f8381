#pragma once
// The time the monitor runs on: now, the wall time for its log lines, and a
// wait that a stop request cuts short. Tests give a clock whose waits only
// move its hands.

#include <chrono>

#include "lm/monitor/loop/CancelToken.h"

namespace lm::monitor {

class MonitorClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~MonitorClock() = default;
  virtual TimePoint Now() = 0;
  virtual std::chrono::system_clock::time_point WallNow() = 0;
  // Waits until `deadline` or a stop request; true when stopped.
  virtual bool WaitUntil(TimePoint deadline, CancelToken& stop) = 0;
};

class SystemMonitorClock : public MonitorClock {
 public:
  TimePoint Now() override { return std::chrono::steady_clock::now(); }
  std::chrono::system_clock::time_point WallNow() override { return std::chrono::system_clock::now(); }
  bool WaitUntil(TimePoint deadline, CancelToken& stop) override { return stop.WaitUntil(deadline); }
};

}  // namespace lm::monitor
