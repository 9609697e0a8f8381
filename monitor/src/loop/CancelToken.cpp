#include "lm/monitor/loop/CancelToken.h"

#include <vector>

namespace lm::monitor {

void CancelToken::Cancel() {
  std::vector<std::function<void()>> toRun;
  {
    std::lock_guard lock(mutex_);
    if (cancelled_.exchange(true, std::memory_order_acq_rel)) return;
    for (auto& [id, callback] : callbacks_) toRun.push_back(callback);
    running_ = 1;
  }
  changed_.notify_all();
  for (auto& callback : toRun) callback();
  {
    std::lock_guard lock(mutex_);
    running_ = 0;
  }
  changed_.notify_all();
}

bool CancelToken::WaitUntil(Clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  return changed_.wait_until(lock, deadline, [this] { return Cancelled(); });
}

int CancelToken::Subscribe(std::function<void()> onCancel) {
  {
    std::lock_guard lock(mutex_);
    if (!Cancelled()) {
      callbacks_.emplace(nextId_, std::move(onCancel));
      return nextId_++;
    }
  }
  onCancel();
  return 0;
}

void CancelToken::Unsubscribe(int id) {
  std::unique_lock lock(mutex_);
  callbacks_.erase(id);
  // A Cancel on another thread may be running this callback now; its
  // captures must outlive that.
  changed_.wait(lock, [this] { return running_ == 0; });
}

}  // namespace lm::monitor
