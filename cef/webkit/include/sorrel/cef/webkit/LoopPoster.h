#pragma once
// Hands work to the thread that runs a GLib main context, from any thread.
// Work posted through one poster runs in the order it was posted, never
// inside the posting call. Posts that arrive while the loop has not yet
// picked up earlier ones share one wake-up. Work still queued when the
// context goes away is destroyed without running.
//
// A program's main makes the poster of its default context and hands it down
// (shared, since work may be posted to it after main's own objects are gone).

#include <glib.h>

#include <chrono>
#include <functional>
#include <memory>

namespace Sorrel::cef::webkit {

class LoopPoster {
 public:
  using Task = std::function<void()>;

  explicit LoopPoster(GMainContext* context);
  ~LoopPoster();
  LoopPoster(const LoopPoster&) = delete;
  LoopPoster& operator=(const LoopPoster&) = delete;

  void Post(Task task);
  // Runs the task once after `delay`, outside the ordered queue.
  void PostDelayed(Task task, std::chrono::milliseconds delay);

  GMainContext* Context() const { return context_; }

 private:
  struct Queue;
  GMainContext* context_;
  std::shared_ptr<Queue> queue_;
};

}  // namespace Sorrel::cef::webkit
