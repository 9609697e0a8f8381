#include "lm/monitor/service/ServiceNotifier.h"

#include <systemd/sd-daemon.h>

#include <cstdint>
#include <cstdlib>

namespace lm::monitor {
namespace {

// A status is one line: a name with a line break must not add a field.
std::string OneLine(const std::string& text) {
  std::string line = text;
  for (char& c : line) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return line;
}

}  // namespace

ServiceNotifier::ServiceNotifier() {
  const char* socket = std::getenv("NOTIFY_SOCKET");
  active_ = socket && *socket;
  uint64_t usec = 0;
  if (active_ && sd_watchdog_enabled(0, &usec) > 0) watchdog_ = std::chrono::microseconds(usec);
}

void ServiceNotifier::Send(const std::string& message) {
  if (active_) sd_notify(0, message.c_str());
}

void ServiceNotifier::Ready(const std::string& status) { Send("READY=1\nSTATUS=" + OneLine(status)); }

void ServiceNotifier::Status(const std::string& status) { Send("STATUS=" + OneLine(status)); }

void ServiceNotifier::Watchdog() { Send("WATCHDOG=1"); }

void ServiceNotifier::Stopping(const std::string& status) { Send("STOPPING=1\nSTATUS=" + OneLine(status)); }

}  // namespace lm::monitor
