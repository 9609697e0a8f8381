#pragma once
// The queries of one router that have arrived and not yet been answered or
// cancelled. Each arrival gets its own ticket, so a page that uses a query id
// again (a reloaded or restarted page counts from 1 again) never loses an
// answer to an older entry under the same id. Every operation holds the
// table's mutex for its whole duration; cancel notifications run under it.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "lm/CancelToken.h"
#include "sorrel/cef/JsQueryHandler.h"

namespace Sorrel::cef {

class PendingQueryTable {
 public:
  using Ticket = std::uint64_t;

  // Adds an alive entry for one arrival and returns its ticket.
  Ticket Insert(int64_t queryId, JsQueryHandlerPtr handler, std::shared_ptr<lm::CancelToken> cancel);
  // Ends an alive entry; false when there is none (already answered, or
  // given up by the router), so each query is answered at most once.
  bool Finish(Ticket ticket);
  // Erases every entry that is no longer alive.
  void Purge();
  // For the newest alive entry under the id: state 3, its call's token
  // cancelled, then the handler's Cancel(routerCancel); a router cancel also
  // ends the entry. Returns whether an alive entry was found.
  bool Cancel(int64_t queryId, bool routerCancel);
  // Router cancel of every alive entry (shutdown).
  void CancelAll();

  size_t Size() const;
  size_t AliveCount() const;

 private:
  struct Entry {
    int64_t queryId;
    bool alive;
    JsQueryHandlerPtr handler;
    std::shared_ptr<lm::CancelToken> cancel;
  };
  static void CancelEntry(Entry& entry, bool routerCancel);

  mutable std::mutex mutex_;
  Ticket nextTicket_ = 1;
  std::map<Ticket, Entry> entries_;
};

}  // namespace Sorrel::cef
