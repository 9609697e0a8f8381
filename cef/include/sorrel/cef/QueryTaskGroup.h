#pragma once
// The process-wide task collection every query runs on. It grows a worker
// whenever none is idle, so a query blocked for seconds on a device never
// delays another; idle workers retire after a while.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
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
  void WorkerLoop();
  void JoinFinishedLocked(std::unique_lock<std::mutex>& lock);

  const std::chrono::milliseconds idleLimit_;
  mutable std::mutex mutex_;
  std::condition_variable workAvailable_;
  std::condition_variable allDone_;
  std::deque<std::function<void()>> queue_;
  size_t idle_ = 0;
  size_t running_ = 0;
  bool stopping_ = false;
  std::map<std::thread::id, std::thread> workers_;
  std::vector<std::thread::id> finished_;
};

}  // namespace Sorrel::cef
