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

uint64_t CliLoop::PostAfter(std::chrono::milliseconds delay, Task task) {
  std::lock_guard lock(mutex_);
  if (stopped_) return 0;
  const uint64_t id = ++lastTimer_;
  timers_.emplace(std::make_pair(std::chrono::steady_clock::now() + delay, id), std::move(task));
  changed_.notify_all();
  return id;
}

void CliLoop::CancelTimer(uint64_t id) {
  std::lock_guard lock(mutex_);
  std::erase_if(timers_, [id](const auto& timer) { return timer.first.second == id; });
}

void CliLoop::QueueDueTimers() {
  const auto now = std::chrono::steady_clock::now();
  while (!timers_.empty() && timers_.begin()->first.first <= now) {
    queue_.push_back({std::move(timers_.begin()->second), nullptr});
    timers_.erase(timers_.begin());
  }
}

void CliLoop::RunUntil(const std::function<bool()>& done) {
  std::unique_lock lock(mutex_);
  for (;;) {
    QueueDueTimers();
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
    if (timers_.empty()) changed_.wait(lock);
    else changed_.wait_until(lock, timers_.begin()->first.first);
  }
}

void CliLoop::Wake() {
  std::lock_guard lock(mutex_);
  changed_.notify_all();
}

void CliLoop::Stop() {
  std::deque<Item> dropped;
  decltype(timers_) droppedTimers;  // their captures go outside the lock
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    dropped.swap(queue_);
    droppedTimers.swap(timers_);
    for (Item& item : dropped) {
      if (item.waiter) item.waiter->dropped = true;
    }
    changed_.notify_all();
  }
}

}  // namespace linkmeter::cli
