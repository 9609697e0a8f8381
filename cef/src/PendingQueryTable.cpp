#include "sorrel/cef/PendingQueryTable.h"

#include <algorithm>

namespace Sorrel::cef {

PendingQueryTable::Ticket PendingQueryTable::Insert(int64_t queryId, JsQueryHandlerPtr handler,
                                                    std::shared_ptr<lm::CancelToken> cancel) {
  std::lock_guard lock(mutex_);
  const Ticket ticket = nextTicket_++;
  entries_.emplace(ticket, Entry{queryId, true, std::move(handler), std::move(cancel)});
  return ticket;
}

bool PendingQueryTable::Finish(Ticket ticket) {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(ticket);
  if (it == entries_.end() || !it->second.alive) return false;
  it->second.alive = false;
  return true;
}

void PendingQueryTable::Purge() {
  std::lock_guard lock(mutex_);
  std::erase_if(entries_, [](const auto& kv) { return !kv.second.alive; });
}

void PendingQueryTable::CancelEntry(Entry& entry, bool routerCancel) {
  entry.handler->SetState(JsQueryHandler::kCancelRequested);
  if (entry.cancel) entry.cancel->Cancel(routerCancel);
  try {
    entry.handler->Cancel(routerCancel);
  } catch (...) {
    // A failing cancel notification must not take the router down.
  }
  if (routerCancel) entry.alive = false;
}

bool PendingQueryTable::Cancel(int64_t queryId, bool routerCancel) {
  std::lock_guard lock(mutex_);
  // Tickets grow with arrival: the newest entry under the id is the last.
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if (it->second.queryId != queryId || !it->second.alive) continue;
    CancelEntry(it->second, routerCancel);
    return true;
  }
  return false;
}

void PendingQueryTable::CancelAll() {
  std::lock_guard lock(mutex_);
  for (auto& [ticket, entry] : entries_) {
    if (entry.alive) CancelEntry(entry, true);
  }
}

size_t PendingQueryTable::Size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

size_t PendingQueryTable::AliveCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(
      std::count_if(entries_.begin(), entries_.end(), [](const auto& kv) { return kv.second.alive; }));
}

}  // namespace Sorrel::cef
