#pragma once
// The frame's window-thread services over a GLib main context: the waiting
// call, queued posts with 16-bit ids (dropped once the frame is closing) and
// the forced close, which waits in steps while posted tasks are pending.

#include <glib.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "sorrel/cef/UiThread.h"
#include "sorrel/cef/webkit/LoopPoster.h"

namespace linkmeter::shell {

// The forced close waits `retryStep` at a time, at most `maxRetries` times.
struct FrameTiming {
  std::chrono::milliseconds retryStep{300};
  int maxRetries = 3;
};

class FrameServices : public Sorrel::cef::UiThread, public std::enable_shared_from_this<FrameServices> {
 public:
  using Timing = FrameTiming;
  // `closeFrame` ends the frame for good; it runs on the window thread. The
  // constructing thread is the window thread.
  static std::shared_ptr<FrameServices> Create(GMainContext* context, std::function<void()> closeFrame,
                                               Timing timing = FrameTiming());
  ~FrameServices() override;

  bool Call(Task task) override;
  uint16_t Post(Task task) override;
  void ForceClose() override;
  bool IsUiThread() const override { return std::this_thread::get_id() == uiThread_; }

  // The pages agreed to exit: posted tasks are dropped from now on.
  void SetClosing();
  bool Closing() const;
  // Posted tasks queued or running.
  size_t PendingTasks() const;
  // How many steps the last forced close waited before it went ahead.
  int CloseRetries() const { return closeRetries_; }
  // The window thread no longer serves: waiting calls give up, new calls
  // and posts are refused.
  void Stop();

 private:
  struct Waiter;
  FrameServices(GMainContext* context, std::function<void()> closeFrame, Timing timing);
  void RunQueued(uint16_t id);
  void ForcedClose(int retry);
  void Schedule(std::function<void()> fn, std::chrono::milliseconds delay = {});

  GMainContext* context_;
  Sorrel::cef::webkit::LoopPoster poster_;
  std::function<void()> closeFrame_;
  const Timing timing_;
  const std::thread::id uiThread_;
  int closeRetries_ = 0;  // window thread only

  mutable std::mutex mutex_;
  bool closing_ = false;
  bool stopped_ = false;
  uint16_t lastId_ = 0;
  std::map<uint16_t, Task> queue_;
  size_t pending_ = 0;
  std::set<std::shared_ptr<Waiter>> waiters_;
};

}  // namespace linkmeter::shell
