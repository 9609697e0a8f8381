#pragma once
// The monitor as a systemd service of Type=notify (libsystemd's sd_notify):
// READY=1 once the first round has tried the base unit, STATUS= with the
// last round's summary (what `systemctl status` shows), WATCHDOG=1 while
// the round loop lives, STOPPING=1 at a stop. Without NOTIFY_SOCKET in the
// environment (a run by hand, a test) every call does nothing.

#include <chrono>
#include <string>

namespace lm::monitor {

class ServiceNotifier {
 public:
  ServiceNotifier();

  bool Active() const { return active_; }
  // WatchdogSec= of the unit, zero without one.
  std::chrono::microseconds WatchdogInterval() const { return watchdog_; }

  void Ready(const std::string& status);
  void Status(const std::string& status);
  void Watchdog();
  void Stopping(const std::string& status);

 private:
  void Send(const std::string& message);
  bool active_ = false;
  std::chrono::microseconds watchdog_{0};
};

}  // namespace lm::monitor
