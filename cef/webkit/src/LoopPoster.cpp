#include "sorrel/cef/webkit/LoopPoster.h"

#include <deque>
#include <mutex>

namespace Sorrel::cef::webkit {

// Shared with the sources that drain it, so it outlives the poster while a
// source is attached.
struct LoopPoster::Queue {
  std::mutex mutex;
  std::deque<Task> tasks;
  bool armed = false;  // a source is attached and has not started draining

  static void Attach(GMainContext* context, std::shared_ptr<Queue> self);
  static gboolean Drain(gpointer p);
};

void LoopPoster::Queue::Attach(GMainContext* context, std::shared_ptr<Queue> self) {
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(source, Drain, new std::shared_ptr<Queue>(std::move(self)),
                        [](gpointer p) { delete static_cast<std::shared_ptr<Queue>*>(p); });
  g_source_attach(source, context);
  g_source_unref(source);
}

// Runs what was queued when the loop came to it, in order; work posted
// meanwhile waits for the next turn of the loop. A task that runs a nested
// loop (a modal dialog) leaves a fresh source behind it, so the tasks after
// it still run inside that loop.
gboolean LoopPoster::Queue::Drain(gpointer p) {
  const std::shared_ptr<Queue> self = *static_cast<std::shared_ptr<Queue>*>(p);
  GMainContext* context = g_source_get_context(g_main_current_source());
  size_t count = 0;
  {
    std::lock_guard lock(self->mutex);
    self->armed = false;
    count = self->tasks.size();
  }
  for (; count > 0; --count) {
    Task task;
    bool rearm = false;
    {
      std::lock_guard lock(self->mutex);
      if (self->tasks.empty()) break;  // a nested loop ran them
      task = std::move(self->tasks.front());
      self->tasks.pop_front();
      rearm = !self->tasks.empty() && !self->armed;
      if (rearm) self->armed = true;
    }
    if (rearm) Attach(context, self);
    task();
  }
  return G_SOURCE_REMOVE;
}

LoopPoster::LoopPoster(GMainContext* context)
    : context_(g_main_context_ref(context)), queue_(std::make_shared<Queue>()) {}

LoopPoster::~LoopPoster() { g_main_context_unref(context_); }

void LoopPoster::Post(Task task) {
  {
    std::lock_guard lock(queue_->mutex);
    queue_->tasks.push_back(std::move(task));
    if (queue_->armed) return;  // the loop will come to it
    queue_->armed = true;
  }
  Queue::Attach(context_, queue_);
}

void LoopPoster::PostDelayed(Task task, std::chrono::milliseconds delay) {
  GSource* source = g_timeout_source_new(static_cast<guint>(delay.count()));
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(
      source,
      [](gpointer p) -> gboolean {
        (*static_cast<Task*>(p))();
        return G_SOURCE_REMOVE;
      },
      new Task(std::move(task)), [](gpointer p) { delete static_cast<Task*>(p); });
  g_source_attach(source, context_);
  g_source_unref(source);
}

}  // namespace Sorrel::cef::webkit
