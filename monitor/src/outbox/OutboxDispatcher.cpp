#include "lm/monitor/outbox/OutboxDispatcher.h"

#include <ostream>

#include "lm/monitor/outbox/NoticeFormat.h"
#include "lm/monitor/rules/WallTime.h"
#include "lm/monitor/loop/MonitorLog.h"
#include "lm/records/AlarmLedger.h"

namespace lm::monitor {
namespace {

constexpr int kDigestLimit = 500;

std::string Seconds(std::chrono::milliseconds ms) { return std::to_string((ms.count() + 999) / 1000) + "s"; }

}  // namespace

OutboxDispatcher::OutboxDispatcher(lm::records::AlarmLedger& ledger, std::string monitor,
                                   std::vector<std::unique_ptr<NoticeChannel>> channels, RetryPlan retry,
                                   std::ostream& log)
    : ledger_(ledger), monitor_(std::move(monitor)), log_(log) {
  for (auto& c : channels) channels_.push_back({std::move(c), Backoff(retry.first, retry.ceiling), {}});
}

OutboxDispatcher::~OutboxDispatcher() { Stop(); }

void OutboxDispatcher::Start() {
  if (!thread_.joinable() && !channels_.empty()) thread_ = std::thread([this] { Run(); });
}

void OutboxDispatcher::Wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  wake_.notify_all();
}

void OutboxDispatcher::Stop() {
  stop_.store(true);
  Wake();
  if (thread_.joinable()) thread_.join();
}

void OutboxDispatcher::Line(const std::string& text) {
  log_ << (UtcText(std::chrono::system_clock::now()) + " " + text + "\n") << std::flush;
}

void OutboxDispatcher::Run() {
  while (!stop_.load()) {
    Clock::time_point next = Clock::now() + std::chrono::minutes(1);  // also picks up another process's notices
    for (Channel& c : channels_) {
      if (stop_.load()) break;
      next = std::min(next, Deliver(c));
    }
    std::unique_lock lock(mutex_);
    wake_.wait_until(lock, next, [this] { return woken_ || stop_.load(); });
    woken_ = false;
  }
}

OutboxDispatcher::Clock::time_point OutboxDispatcher::Deliver(Channel& c) {
  const Clock::time_point idle = Clock::time_point::max();
  while (!stop_.load() && Clock::now() >= c.nextTry) {
    const auto gather = c.channel->Gather();
    std::vector<lm::records::NoticeRow> rows;
    try {
      rows = ledger_.Pending(monitor_, c.channel->Destination(), gather.count() > 0 ? kDigestLimit : 1);
    } catch (const std::exception& e) {
      Line("outbox channel=" + c.channel->Name() + " failed=" + QuotedLogWord(std::string("site records: ") + e.what()));
      return c.nextTry = Clock::now() + c.backoff.Next();
    }
    if (rows.empty()) return idle;
    // A notice stamped later than now was queued before the wall clock
    // stepped back: waiting for the clock to catch up could hold it for days.
    const int64_t waited = WallNowMs() - rows.front().createdAt;
    if (waited >= 0 && waited < gather.count()) return Clock::now() + std::chrono::milliseconds(gather.count() - waited);
    std::vector<Notice> notices;
    std::vector<int64_t> ids;
    for (const auto& row : rows) {
      auto json = lm::json::Parse(row.noticeJson);
      notices.push_back(NoticeFromJson(json ? *json : lm::json::Value()));
      ids.push_back(row.id);
    }
    const std::string error = c.channel->Send(notices, ids.front(), stop_);
    if (!error.empty()) {
      if (stop_.load()) break;
      const auto wait = c.backoff.Next();
      Line("outbox channel=" + c.channel->Name() + " notice=" + std::to_string(ids.front()) + " failed=" + QuotedLogWord(error) +
           " retry=" + Seconds(wait));
      return c.nextTry = Clock::now() + wait;
    }
    try {
      ledger_.MarkDelivered(ids, WallNowMs());
    } catch (const std::exception& e) {
      // Sent but not marked: it goes again at the next try rather than never.
      Line("outbox channel=" + c.channel->Name() + " failed=" + QuotedLogWord(std::string("site records: ") + e.what()));
      return c.nextTry = Clock::now() + c.backoff.Next();
    }
    c.backoff.Reset();
    for (size_t i = 0; i < ids.size(); ++i) {
      Line("outbox channel=" + c.channel->Name() + " notice=" + std::to_string(ids[i]) + " delivered " +
           notices[i].status + " " + notices[i].key);
    }
  }
  return std::max(c.nextTry, Clock::now());
}

}  // namespace lm::monitor
