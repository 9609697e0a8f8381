#pragma once
// The window thread's two services, for code on any thread that must touch
// windows: the waiting call and the queued post. The program's frame
// implements them; code below the program reaches them through the Manager.

#include <cstdint>
#include <functional>

namespace Sorrel::cef {

class UiThread {
 public:
  using Task = std::function<void()>;

  virtual ~UiThread() = default;

  // Runs the task on the window thread and waits until it has run; on the
  // window thread itself it runs at once. An exception the task raises is
  // raised again here. False, with the task not run, once the window thread
  // has stopped serving calls.
  virtual bool Call(Task task) = 0;
  // Queues the task and returns without waiting. The id (never 0) names the
  // queued task; 0 means it was dropped because the frame is closing. Queued
  // tasks still waiting when the frame starts closing are dropped too.
  virtual uint16_t Post(Task task) = 0;
  // Closes the frame without asking the pages. While posted tasks are still
  // pending the close is retried a few times before it goes ahead.
  virtual void ForceClose() = 0;
  virtual bool IsUiThread() const = 0;
};

}  // namespace Sorrel::cef
