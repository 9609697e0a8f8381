#pragma once
// The queries of one router that have arrived and not yet been answered or
// cancelled, by the router's query id. Every operation holds the table's
// mutex for its whole duration; Cancel notifications run under it.

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>

#include "sorrel/cef/JsQueryHandler.h"

namespace Sorrel::cef {

class PendingQueryTable {
 public:
  // Adds an alive entry; an existing entry under the id is kept.
  void Insert(int64_t queryId, JsQueryHandlerPtr handler);
  void MarkNotAlive(int64_t queryId);
  // Ends an alive entry; false when there is none (already answered, or
  // given up by the router), so each query is answered at most once.
  bool Finish(int64_t queryId);
  // Erases every entry that is no longer alive.
  void Purge();
  // When an alive entry exists: state 3 and Cancel(routerCancel); a router
  // cancel also ends the entry. Returns whether an alive entry was found.
  bool Cancel(int64_t queryId, bool routerCancel);
  // Router cancel of every alive entry (shutdown).
  void CancelAll();

  size_t Size() const;
  size_t AliveCount() const;

 private:
  struct Entry {
    bool alive;
    JsQueryHandlerPtr handler;
  };
  static void CancelEntry(Entry& entry, bool routerCancel);

  mutable std::mutex mutex_;
  std::map<int64_t, Entry> entries_;
};

}  // namespace Sorrel::cef
