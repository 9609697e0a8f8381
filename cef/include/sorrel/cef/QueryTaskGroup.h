#pragma once
// The process-wide task collection every query runs on. It grows a worker
// whenever none is idle, so a query blocked for seconds on a device never
// delays another; idle workers retire after a while.
//
// A task wakes a worker only when no worker already on its way to the queue
// is left to take it, and an idle worker is woken on a semaphore of its own,
// the most recently idle first (a condition variable's signal may wait for
// earlier waiters to leave, with the window thread that sent it blocked).

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <semaphore>
#include <thread>
#include <vector>

namespace Sorrel::cef {

class QueryTaskGroup {
 public:
  explicit QueryTaskGroup(std::chrono::milliseconds idleLimit = std::chrono::seconds(10));
  ~QueryTaskGroup();
  QueryTaskGroup(const QueryTaskGroup&) = delete;
  QueryTaskGroup& operator=(const QueryTaskGroup&) = delete;

  void Run(std::function<void()> task);
  // Waits until every task handed in so far has finished. Tasks are queries
  // that must still be answered, so none is dropped; each handler hears of
  // the cancellation through its Cancel.
  void CancelAndWait();

  size_t Busy() const;     // tasks queued or running
  size_t Workers() const;  // live worker threads

 private:
  struct Waker {
    std::binary_semaphore wake{0};
  };

  void WorkerLoop();
  // Idle until woken (true) or retired by the idle limit (false).
  bool WaitForWork(std::unique_lock<std::mutex>& lock, Waker& waker);
  void JoinFinishedLocked(std::unique_lock<std::mutex>& lock);

  const std::chrono::milliseconds idleLimit_;
  mutable std::mutex mutex_;
  std::condition_variable allDone_;
  std::deque<std::function<void()>> queue_;
  std::vector<Waker*> idle_;  // the most recently idle last
  size_t coming_ = 0;         // workers woken or started, not yet at the queue
  size_t running_ = 0;
  bool stopping_ = false;
  std::map<std::thread::id, std::thread> workers_;
  std::vector<std::thread::id> finished_;
};

}  // namespace Sorrel::cef
