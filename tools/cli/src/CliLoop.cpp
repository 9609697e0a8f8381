#include "linkmeter/cli/CliLoop.h"

#include <cstdio>
#include <exception>

namespace linkmeter::cli {

struct CliLoop::Waiter {
  bool done = false;
  bool dropped = false;
  std::exception_ptr error;
};

bool CliLoop::Call(Task task) {
  if (IsUiThread()) {
    task();
    return true;
  }
  auto waiter = std::make_shared<Waiter>();
  std::unique_lock lock(mutex_);
  if (stopped_) return false;
  queue_.push_back({std::move(task), waiter});
  changed_.notify_all();
  changed_.wait(lock, [&] { return waiter->done || waiter->dropped; });
  if (waiter->error) std::rethrow_exception(waiter->error);
  return waiter->done;
}

uint16_t CliLoop::Post(Task task) {
  std::lock_guard lock(mutex_);
  if (stopped_) return 0;
  queue_.push_back({std::move(task), nullptr});
  changed_.notify_all();
  lastId_ = static_cast<uint16_t>(lastId_ + 1 == 0 ? 1 : lastId_ + 1);
  return lastId_;
}

void CliLoop::RunUntil(const std::function<bool()>& done) {
  std::unique_lock lock(mutex_);
  for (;;) {
    while (!queue_.empty()) {
      Item item = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      std::exception_ptr error;
      try {
        item.task();
      } catch (...) {
        error = std::current_exception();
        if (!item.waiter) std::fprintf(stderr, "linkmeter-cli: a posted task failed\n");
      }
      item = Item{nullptr, item.waiter};  // the task's captures go before the caller wakes
      lock.lock();
      if (item.waiter) {
        item.waiter->done = true;
        item.waiter->error = error;
        changed_.notify_all();
      }
    }
    if (stopped_ || done()) return;
    changed_.wait(lock);
  }
}

void CliLoop::Wake() {
  std::lock_guard lock(mutex_);
  changed_.notify_all();
}

void CliLoop::Stop() {
  std::deque<Item> dropped;
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    dropped.swap(queue_);
    for (Item& item : dropped) {
      if (item.waiter) item.waiter->dropped = true;
    }
    changed_.notify_all();
  }
}

}  // namespace linkmeter::cli
