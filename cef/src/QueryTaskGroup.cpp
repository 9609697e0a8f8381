#include "sorrel/cef/QueryTaskGroup.h"

#include <algorithm>

namespace Sorrel::cef {

QueryTaskGroup::QueryTaskGroup(std::chrono::milliseconds idleLimit) : idleLimit_(idleLimit) {}

QueryTaskGroup::~QueryTaskGroup() {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  std::vector<Waker*> idle;
  idle.swap(idle_);
  coming_ += idle.size();
  for (Waker* w : idle) w->wake.release();
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
  if (queue_.size() <= coming_) return;  // a worker already on its way takes it
  ++coming_;
  if (idle_.empty()) {
    std::thread worker([this] { WorkerLoop(); });
    auto id = worker.get_id();
    workers_.emplace(id, std::move(worker));
    return;
  }
  Waker* waker = idle_.back();
  idle_.pop_back();
  // Woken after the unlock, the worker does not wake only to wait for the lock.
  lock.unlock();
  waker->wake.release();
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
  Waker waker;
  std::unique_lock lock(mutex_);
  --coming_;
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
    if (!WaitForWork(lock, waker)) {
      // Retire; the next Run (or the destructor) joins this thread.
      finished_.push_back(std::this_thread::get_id());
      return;
    }
  }
}

bool QueryTaskGroup::WaitForWork(std::unique_lock<std::mutex>& lock, Waker& waker) {
  idle_.push_back(&waker);
  lock.unlock();
  const bool woken = waker.wake.try_acquire_for(idleLimit_);
  lock.lock();
  if (woken) {
    --coming_;
    return true;
  }
  auto me = std::find(idle_.begin(), idle_.end(), &waker);
  if (me != idle_.end()) {
    idle_.erase(me);
    return false;
  }
  // Chosen just as the wait ran out: the wake is on its way; take it.
  lock.unlock();
  waker.wake.acquire();
  lock.lock();
  --coming_;
  return true;
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
