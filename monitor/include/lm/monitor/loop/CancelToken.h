#pragma once
// A stop request shared by the monitor's waiting and its survey: set once
// (by the stop-signal watcher or a test), read between probes, and waited
// on between surveys. Callbacks let work blocked elsewhere (a device query)
// be cut short as well.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>

namespace lm::monitor {

class CancelToken {
 public:
  using Clock = std::chrono::steady_clock;

  // Sets the token, wakes every waiter and runs the callbacks once, on the
  // calling thread, outside the token's lock.
  void Cancel();
  bool Cancelled() const { return cancelled_.load(std::memory_order_acquire); }
  // The flag itself, for work that only polls one (a survey run).
  const std::atomic<bool>& Flag() const { return cancelled_; }

  // Waits until `deadline` or a Cancel; true when cancelled.
  bool WaitUntil(Clock::time_point deadline);

  // `onCancel` runs on Cancel, or at once when the token is already set.
  // The id unsubscribes; Unsubscribe waits for a callback running now, so
  // a callback must not unsubscribe.
  int Subscribe(std::function<void()> onCancel);
  void Unsubscribe(int id);

 private:
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<int, std::function<void()>> callbacks_;
  int nextId_ = 1;
  int running_ = 0;  // callbacks running now, outside the lock
};

// Subscribes for its life.
class CancelSubscription {
 public:
  CancelSubscription(CancelToken& token, std::function<void()> onCancel)
      : token_(token), id_(token.Subscribe(std::move(onCancel))) {}
  ~CancelSubscription() { token_.Unsubscribe(id_); }
  CancelSubscription(const CancelSubscription&) = delete;
  CancelSubscription& operator=(const CancelSubscription&) = delete;

 private:
  CancelToken& token_;
  int id_;
};

}  // namespace lm::monitor
