#pragma once
// A window thread made of a GLib main loop on a thread of its own, as the
// program's GTK main loop is (and marked as the window thread the same way):
// posts and calls run as idle sources, and a
// ticker on the same loop records the longest time the loop went without
// running it, so a test sees when work on the loop held it up.

#include <glib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "sorrel/cef/UiThread.h"

namespace search_test {

class MainLoopWindow : public Sorrel::cef::UiThread {
 public:
  static constexpr std::chrono::milliseconds kTick{10};

  MainLoopWindow();
  ~MainLoopWindow() override;

  bool Call(Task task) override;
  uint16_t Post(Task task) override;
  void ForceClose() override {}
  bool IsUiThread() const override { return std::this_thread::get_id() == thread_.get_id(); }

  // The loop quits: queued tasks are dropped, waiting calls give up and new
  // ones are refused, as the program's window thread does when it ends.
  void Stop();
  // The longest time between two ticks (or since the last one) from the
  // last reset on.
  std::chrono::milliseconds LongestGap() const;
  void ResetGap();

 private:
  struct Waiter;
  void Schedule(Task task);
  static gboolean OnTick(gpointer self);

  GMainContext* context_;
  GMainLoop* loop_;
  std::thread thread_;
  std::atomic<bool> stopped_{false};
  std::atomic<uint16_t> lastId_{0};
  std::atomic<int64_t> lastTickUs_;
  std::atomic<int64_t> longestGapUs_{0};
  mutable std::mutex mutex_;
  std::condition_variable changed_;
};

}  // namespace search_test
