#pragma once
// The plainest thread hand-off there is, for benchmarks to measure against:
// one thread waiting on a locked queue. Together with a promise for the way
// back it costs what any design pays that runs a query's work on a thread of
// its own and answers on the caller's. And the median of a set of figures.

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace bench {

class HandOffThread {
 public:
  HandOffThread() : thread_([this] { Loop(); }) {}
  ~HandOffThread() {
    Post(nullptr);
    thread_.join();
  }
  HandOffThread(const HandOffThread&) = delete;
  HandOffThread& operator=(const HandOffThread&) = delete;

  // Runs fn on the thread; an empty fn ends it.
  void Post(std::function<void()> fn) {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(std::move(fn));
    }
    cv_.notify_one();
  }

 private:
  void Loop() {
    for (;;) {
      std::unique_lock lock(mutex_);
      cv_.wait(lock, [&] { return !queue_.empty(); });
      auto fn = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      if (!fn) return;
      fn();
    }
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> queue_;
  std::thread thread_;
};

inline double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace bench
