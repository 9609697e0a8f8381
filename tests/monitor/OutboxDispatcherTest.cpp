// The outbox's delivery thread over a real ledger: a digest channel gets
// every notice waiting in one send once the oldest has waited its gather
// time, and a channel that refuses is retried until each notice went once,
// in order; a notice stamped ahead of a clock that stepped back is not held.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <thread>

#include "lm/monitor/outbox/NoticeFormat.h"
#include "lm/monitor/outbox/OutboxDispatcher.h"
#include "lm/records/AlarmLedger.h"

namespace lm::monitor {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A receiver of our own: what it was sent, and a number of refusals first.
class ReceivingChannel : public NoticeChannel {
 public:
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::vector<std::string>> sends;  // each send's keys
    std::vector<Clock::time_point> sentAt;
    int refusals = 0;
  };
  ReceivingChannel(Shared& shared, std::chrono::milliseconds gather) : shared_(shared), gather_(gather) {}
  std::string Name() const override { return "mail"; }
  std::string Destination() const override { return "mail:test"; }
  std::string Describe() const override { return "mail to the test"; }
  std::chrono::milliseconds Gather() const override { return gather_; }
  std::string Send(const std::vector<Notice>& notices, int64_t, const std::atomic<bool>&) override {
    std::lock_guard lock(shared_.mutex);
    if (shared_.refusals > 0) {
      --shared_.refusals;
      return "421 try again later";
    }
    std::vector<std::string> keys;
    for (const auto& n : notices) keys.push_back(n.key);
    shared_.sends.push_back(keys);
    shared_.sentAt.push_back(Clock::now());
    shared_.changed.notify_all();
    return "";
  }

 private:
  Shared& shared_;
  std::chrono::milliseconds gather_;
};

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void Queue(lm::records::AlarmLedger& ledger, const std::string& key, const std::string& status,
           int64_t at = NowMs()) {
  Notice notice;
  notice.key = key;
  notice.status = status;
  ledger.AddNotice({0, "mail", key, status, at, lm::json::ToText(NoticeToJson(notice)), "monitor-T", "mail:test"});
}

// Waits, bounded, until `count` sends arrived.
bool WaitForSends(ReceivingChannel::Shared& shared, size_t count) {
  std::unique_lock lock(shared.mutex);
  return shared.changed.wait_for(lock, 10s, [&] { return shared.sends.size() >= count; });
}

// Runs the outbox's thread over `ledger` with one channel until `count`
// sends arrived, then `quiet` more, in which nothing else may come; the
// dispatcher's lines in `log`.
void DeliverUntil(lm::records::AlarmLedger& ledger, ReceivingChannel::Shared& shared, std::chrono::milliseconds gather,
                  RetryPlan retry, size_t count, std::chrono::milliseconds quiet, std::ostringstream& log) {
  std::vector<std::unique_ptr<NoticeChannel>> channels;
  channels.push_back(std::make_unique<ReceivingChannel>(shared, gather));
  OutboxDispatcher dispatcher(ledger, "monitor-T", std::move(channels), retry, log);
  dispatcher.Start();
  ASSERT_TRUE(WaitForSends(shared, count));
  std::this_thread::sleep_for(quiet);
  dispatcher.Stop();
}

TEST(OutboxDispatcher, DigestWaitsForTheOldestNoticeThenSendsEveryOneWaitingOnce) {
  lm::records::AlarmLedger ledger("");
  ReceivingChannel::Shared shared;
  const auto queued = Clock::now();
  Queue(ledger, "S/silent-unit/A", "firing");
  Queue(ledger, "S/silent-unit/B", "firing");
  Queue(ledger, "S/silent-unit/A", "resolved");
  std::ostringstream log;
  DeliverUntil(ledger, shared, 600ms, RetryPlan{50ms, 200ms}, 1, 300ms, log);
  ASSERT_EQ(shared.sends.size(), 1u) << log.str();
  EXPECT_EQ(shared.sends[0], (std::vector<std::string>{"S/silent-unit/A", "S/silent-unit/B", "S/silent-unit/A"}));
  EXPECT_GE(shared.sentAt[0] - queued, 590ms);
  EXPECT_TRUE(ledger.Pending("monitor-T", "mail:test", 10).empty());
}

TEST(OutboxDispatcher, RefusedSendsAreRetriedAndEachNoticeGoesOnceInOrder) {
  lm::records::AlarmLedger ledger("");
  ReceivingChannel::Shared shared;
  shared.refusals = 3;
  Queue(ledger, "S/degraded-hop/A-B", "firing");
  Queue(ledger, "S/degraded-hop/A-B", "resolved");
  std::ostringstream log;
  DeliverUntil(ledger, shared, 0ms, RetryPlan{20ms, 80ms}, 2, 200ms, log);
  ASSERT_EQ(shared.sends.size(), 2u) << log.str();
  EXPECT_EQ(shared.sends[0], std::vector<std::string>{"S/degraded-hop/A-B"});
  EXPECT_EQ(shared.sends[1], std::vector<std::string>{"S/degraded-hop/A-B"});
  EXPECT_LT(shared.sentAt[0], shared.sentAt[1]);
  const std::string lines = log.str();
  EXPECT_NE(lines.find("failed=\"421 try again later\" retry="), std::string::npos) << lines;
  EXPECT_NE(lines.find("delivered firing"), std::string::npos) << lines;
  EXPECT_LT(lines.find("delivered firing"), lines.find("delivered resolved")) << lines;
  EXPECT_TRUE(ledger.Pending("monitor-T", "mail:test", 10).empty());
}

// The wall clock stepped back a day after these were queued (a site's
// clock set right by NTP): they go now, not when the clock is back there.
TEST(OutboxDispatcher, NoticesStampedAheadOfTheClockAreNotHeldBack) {
  for (const auto gather : {0ms, 600ms}) {
    lm::records::AlarmLedger ledger("");
    ReceivingChannel::Shared shared;
    const int64_t ahead = NowMs() + 24 * 3600 * 1000;
    Queue(ledger, "S/silent-unit/A", "firing", ahead);
    Queue(ledger, "S/silent-unit/B", "firing", ahead);
    std::ostringstream log;
    DeliverUntil(ledger, shared, gather, RetryPlan{20ms, 80ms}, gather.count() ? 1 : 2, 100ms, log);
    EXPECT_TRUE(ledger.Pending("monitor-T", "mail:test", 10).empty()) << "gather " << gather.count() << "\n"
                                                                       << log.str();
  }
}

}  // namespace
}  // namespace lm::monitor
