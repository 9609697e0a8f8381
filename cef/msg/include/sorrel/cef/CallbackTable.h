#pragma once
// Callbacks the browser process waits on, by id. A page answers one with
// "cefmsg.execcallback.r2b" carrying the id and an argument list; the entry
// is called once and removed.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include "sorrel/cef/MsgValue.h"

namespace Sorrel::cef {

class CallbackTable {
 public:
  using Callback = std::function<void(const MsgList& args)>;

  // Stores the callback under the first free id counting up from the last
  // one handed out.
  int32_t Add(Callback callback);
  // Calls and removes the entry; an unknown id does nothing and gives false.
  // The callback runs under the table's lock: it must not use the table.
  bool Invoke(int32_t id, const MsgList& args);
  bool Remove(int32_t id);
  size_t Size() const;

 private:
  mutable std::mutex mutex_;
  int32_t nextId_ = 0;
  std::map<int32_t, Callback> callbacks_;
};

}  // namespace Sorrel::cef
