#pragma once
// Delivers the outbox: a thread of its own sends each channel's notices
// oldest first, one after another, and marks each delivered in the site
// records once the receiver took it. A receiver that fails is tried again
// after a back-off (doubling up to a ceiling) with the same notice, so
// nothing is skipped and the order holds; notices left at a stop are sent
// by the next start. The survey never waits for it, and nothing is sent
// while the ledger's lock is held.

#include <chrono>
#include <condition_variable>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "lm/monitor/outbox/NoticeChannel.h"
#include "lm/monitor/loop/Backoff.h"

namespace lm::records {
class AlarmLedger;
}

namespace lm::monitor {

struct RetryPlan {
  std::chrono::milliseconds first{1000};
  std::chrono::milliseconds ceiling{std::chrono::minutes(5)};
};

class OutboxDispatcher {
 public:
  // `log` takes one line per failed or delivered send (from the
  // dispatcher's thread; the caller keeps it usable until Stop()).
  // `monitor`: whose notices it sends (AlarmSettings::monitor); each
  // channel takes that monitor's notices to its own destination only.
  OutboxDispatcher(lm::records::AlarmLedger& ledger, std::string monitor,
                   std::vector<std::unique_ptr<NoticeChannel>> channels, RetryPlan retry, std::ostream& log);
  ~OutboxDispatcher();
  OutboxDispatcher(const OutboxDispatcher&) = delete;
  OutboxDispatcher& operator=(const OutboxDispatcher&) = delete;

  void Start();
  // New notices are in the outbox.
  void Wake();
  // Ends a send under way and the thread; idempotent.
  void Stop();

 private:
  using Clock = std::chrono::steady_clock;
  struct Channel {
    std::unique_ptr<NoticeChannel> channel;
    Backoff backoff;
    Clock::time_point nextTry;
  };

  void Run();
  // Sends what a channel may send now; answers when to look again.
  Clock::time_point Deliver(Channel& c);
  void Line(const std::string& text);

  lm::records::AlarmLedger& ledger_;
  std::string monitor_;
  std::vector<Channel> channels_;
  std::ostream& log_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace lm::monitor
