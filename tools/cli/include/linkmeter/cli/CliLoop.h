#pragma once
// linkmeter-cli's stand-in for the window thread: the thread that made the
// loop runs the calls and posts of other threads while it waits for an
// answer, so functions that need the window thread work without a window.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "sorrel/cef/UiThread.h"

namespace linkmeter::cli {

class CliLoop : public Sorrel::cef::UiThread {
 public:
  CliLoop() : thread_(std::this_thread::get_id()) {}
  ~CliLoop() override { Stop(); }

  bool Call(Task task) override;
  uint16_t Post(Task task) override;
  void ForceClose() override {}
  bool IsUiThread() const override { return std::this_thread::get_id() == thread_; }

  // Runs queued tasks on the loop's thread until `done` holds; `done` is
  // checked again whenever a task ran or Wake was called.
  void RunUntil(const std::function<bool()>& done);
  void Wake();
  // Runs `task` on the loop's thread once `delay` has passed (while RunUntil
  // runs); the id cancels it. Timers are dropped by Stop.
  uint64_t PostAfter(std::chrono::milliseconds delay, Task task);
  void CancelTimer(uint64_t id);
  // Queued tasks are dropped, waiting calls give up, new ones are refused.
  void Stop();

 private:
  struct Waiter;
  // Moves the timers whose time has come to the queue (mutex_ held).
  void QueueDueTimers();
  struct Item {
    Task task;
    std::shared_ptr<Waiter> waiter;  // null for a post
  };

  const std::thread::id thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Item> queue_;
  // Due time and id → task; ids only grow, so equal times keep their order.
  std::map<std::pair<std::chrono::steady_clock::time_point, uint64_t>, Task> timers_;
  uint64_t lastTimer_ = 0;
  bool stopped_ = false;
  uint16_t lastId_ = 0;
};

}  // namespace linkmeter::cli
