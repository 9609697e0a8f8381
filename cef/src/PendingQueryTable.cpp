#include "sorrel/cef/PendingQueryTable.h"

#include <algorithm>

namespace Sorrel::cef {

void PendingQueryTable::Insert(int64_t queryId, JsQueryHandlerPtr handler) {
  std::lock_guard lock(mutex_);
  entries_.emplace(queryId, Entry{true, std::move(handler)});
}

void PendingQueryTable::MarkNotAlive(int64_t queryId) {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(queryId);
  if (it != entries_.end()) it->second.alive = false;
}

bool PendingQueryTable::Finish(int64_t queryId) {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(queryId);
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
  try {
    entry.handler->Cancel(routerCancel);
  } catch (...) {
    // A failing cancel notification must not take the router down.
  }
  if (routerCancel) entry.alive = false;
}

bool PendingQueryTable::Cancel(int64_t queryId, bool routerCancel) {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(queryId);
  if (it == entries_.end() || !it->second.alive) return false;
  CancelEntry(it->second, routerCancel);
  return true;
}

void PendingQueryTable::CancelAll() {
  std::lock_guard lock(mutex_);
  for (auto& [id, entry] : entries_) {
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
