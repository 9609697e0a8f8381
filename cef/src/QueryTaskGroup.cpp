#include "sorrel/cef/QueryTaskGroup.h"

namespace Sorrel::cef {

QueryTaskGroup::QueryTaskGroup(std::chrono::milliseconds idleLimit) : idleLimit_(idleLimit) {}

QueryTaskGroup::~QueryTaskGroup() {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  workAvailable_.notify_all();
  allDone_.wait(lock, [&] { return queue_.empty() && running_ == 0; });
  std::map<std::thread::id, std::thread> workers;
  workers.swap(workers_);
  finished_.clear();
  lock.unlock();
  for (auto& [id, t] : workers) t.join();
}

void QueryTaskGroup::Run(std::function<void()> task) {
  std::unique_lock lock(mutex_);
  JoinFinishedLocked(lock);
  queue_.push_back(std::move(task));
  if (queue_.size() > idle_) {
    std::thread worker([this] { WorkerLoop(); });
    auto id = worker.get_id();
    workers_.emplace(id, std::move(worker));
    return;
  }
  // Woken after the unlock, the worker does not wake only to wait for the lock.
  lock.unlock();
  workAvailable_.notify_one();
}

void QueryTaskGroup::CancelAndWait() {
  std::unique_lock lock(mutex_);
  allDone_.wait(lock, [&] { return queue_.empty() && running_ == 0; });
  JoinFinishedLocked(lock);
}

size_t QueryTaskGroup::Busy() const {
  std::lock_guard lock(mutex_);
  return queue_.size() + running_;
}

size_t QueryTaskGroup::Workers() const {
  std::lock_guard lock(mutex_);
  return workers_.size() - finished_.size();
}

void QueryTaskGroup::WorkerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (!queue_.empty()) {
      auto task = std::move(queue_.front());
      queue_.pop_front();
      ++running_;
      lock.unlock();
      try {
        task();
      } catch (...) {
        // Tasks answer their own errors; nothing may end the worker.
      }
      task = nullptr;  // release what the task captured outside the lock
      lock.lock();
      --running_;
      if (queue_.empty() && running_ == 0) allDone_.notify_all();
      continue;
    }
    if (stopping_) return;  // the destructor joins us
    ++idle_;
    bool woke = workAvailable_.wait_for(lock, idleLimit_, [&] { return !queue_.empty() || stopping_; });
    --idle_;
    if (!woke) {
      // Retire; the next Run (or the destructor) joins this thread.
      finished_.push_back(std::this_thread::get_id());
      return;
    }
  }
}

void QueryTaskGroup::JoinFinishedLocked(std::unique_lock<std::mutex>& lock) {
  if (finished_.empty()) return;
  std::vector<std::thread> done;
  for (auto id : finished_) {
    auto it = workers_.find(id);
    if (it != workers_.end()) {
      done.push_back(std::move(it->second));
      workers_.erase(it);
    }
  }
  finished_.clear();
  lock.unlock();
  for (auto& t : done) t.join();
  lock.lock();
}

}  // namespace Sorrel::cef
