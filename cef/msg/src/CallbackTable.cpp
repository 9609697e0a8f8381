#include "sorrel/cef/CallbackTable.h"

#include <limits>

namespace Sorrel::cef {

int32_t CallbackTable::Add(Callback callback) {
  std::lock_guard lock(mutex_);
  int32_t id = nextId_;
  while (callbacks_.count(id)) {
    id = id == std::numeric_limits<int32_t>::max() ? 0 : id + 1;  // wraps instead of overflowing
  }
  nextId_ = id == std::numeric_limits<int32_t>::max() ? 0 : id + 1;
  callbacks_.emplace(id, std::move(callback));
  return id;
}

bool CallbackTable::Invoke(int32_t id, const MsgList& args) {
  std::lock_guard lock(mutex_);
  auto it = callbacks_.find(id);
  if (it == callbacks_.end()) return false;
  Callback callback = std::move(it->second);
  callbacks_.erase(it);
  if (callback) callback(args);
  return true;
}

bool CallbackTable::Remove(int32_t id) {
  std::lock_guard lock(mutex_);
  return callbacks_.erase(id) != 0;
}

size_t CallbackTable::Size() const {
  std::lock_guard lock(mutex_);
  return callbacks_.size();
}

}  // namespace Sorrel::cef
