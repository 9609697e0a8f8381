#include "MainLoopWindow.h"

#include <algorithm>
#include <memory>

#include "lm/ThreadRole.h"

namespace search_test {

MainLoopWindow::MainLoopWindow()
    : context_(g_main_context_new()), loop_(g_main_loop_new(context_, FALSE)), lastTickUs_(g_get_monotonic_time()) {
  GSource* ticker = g_timeout_source_new(static_cast<guint>(kTick.count()));
  g_source_set_callback(ticker, &MainLoopWindow::OnTick, this, nullptr);
  g_source_attach(ticker, context_);
  g_source_unref(ticker);
  thread_ = std::thread([this] {
    g_main_context_push_thread_default(context_);
    lm::thread_role::WindowThreadScope windowThread;  // as the shell marks its GTK loop
    ResetGap();
    g_main_loop_run(loop_);
    g_main_context_pop_thread_default(context_);
  });
}

MainLoopWindow::~MainLoopWindow() {
  Stop();
  g_main_loop_unref(loop_);
  g_main_context_unref(context_);
}

gboolean MainLoopWindow::OnTick(gpointer self) {
  auto* window = static_cast<MainLoopWindow*>(self);
  const int64_t now = g_get_monotonic_time();
  const int64_t gap = now - window->lastTickUs_.exchange(now);
  int64_t longest = window->longestGapUs_.load();
  while (gap > longest && !window->longestGapUs_.compare_exchange_weak(longest, gap)) {
  }
  return G_SOURCE_CONTINUE;
}

std::chrono::milliseconds MainLoopWindow::LongestGap() const {
  const int64_t sinceLast = g_get_monotonic_time() - lastTickUs_.load();
  return std::chrono::milliseconds(std::max(longestGapUs_.load(), sinceLast) / 1000);
}

void MainLoopWindow::ResetGap() {
  lastTickUs_ = g_get_monotonic_time();
  longestGapUs_ = 0;
}

void MainLoopWindow::Schedule(Task task) {
  GSource* source = g_idle_source_new();
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

uint16_t MainLoopWindow::Post(Task task) {
  if (stopped_) return 0;
  Schedule(std::move(task));
  uint16_t id = ++lastId_;
  return id == 0 ? ++lastId_ : id;
}

struct MainLoopWindow::Waiter {
  bool done = false;
};

bool MainLoopWindow::Call(Task task) {
  if (IsUiThread()) return task(), true;
  if (stopped_) return false;
  auto waiter = std::make_shared<Waiter>();
  Schedule([this, waiter, task = std::move(task)] {
    task();
    std::lock_guard lock(mutex_);
    waiter->done = true;
    changed_.notify_all();
  });
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return waiter->done || stopped_; });
  return waiter->done;
}

void MainLoopWindow::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopped_.exchange(true)) return;
    changed_.notify_all();
  }
  // Quit from inside the loop: a quit before the loop started would be lost.
  Schedule([this] { g_main_loop_quit(loop_); });
  if (thread_.joinable()) thread_.join();
}

}  // namespace search_test
