#pragma once
// A way notices leave the monitor: the webhook or e-mail. The outbox hands
// a channel its notices oldest first; a channel sends one at a time, or a
// digest takes every notice waiting at once.

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "lm/monitor/rules/AlarmEngine.h"
#include "lm/monitor/outbox/CurlTransfer.h"

namespace lm::monitor {

class NoticeChannel {
 public:
  virtual ~NoticeChannel() = default;
  // "webhook", "mail": the kind of channel.
  virtual std::string Name() const = 0;
  // The receiver, as the outbox keys its notices: "webhook:1f2e…" (an id of
  // the whole URL or relay and recipients, secrets included, but not
  // showing them). Two channels with one destination share a queue.
  virtual std::string Destination() const = 0;
  // The receiver for people: the URL with its secrets hidden.
  virtual std::string Describe() const = 0;
  // How long the oldest notice waits before a send (a daily digest: a day).
  virtual std::chrono::milliseconds Gather() const { return std::chrono::milliseconds(0); }
  // Sends `notices` (one, unless Gather() collects); "" when the receiver
  // took them, else why not. `id` names the first one (a message id).
  virtual std::string Send(const std::vector<Notice>& notices, int64_t id, const std::atomic<bool>& stop) = 0;
};

}  // namespace lm::monitor
