#pragma once
// linkmeter-cli's stand-in for the window thread: the thread that made the
// loop runs the calls and posts of other threads while it waits for an
// answer, so functions that need the window thread work without a window.

#include <condition_variable>
#include <deque>
#include <functional>
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
  // Queued tasks are dropped, waiting calls give up, new ones are refused.
  void Stop();

 private:
  struct Waiter;
  struct Item {
    Task task;
    std::shared_ptr<Waiter> waiter;  // null for a post
  };

  const std::thread::id thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Item> queue_;
  bool stopped_ = false;
  uint16_t lastId_ = 0;
};

}  // namespace linkmeter::cli
