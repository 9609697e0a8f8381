#include "linkmeter/shell/FrameServices.h"

#include <cstdio>

namespace linkmeter::shell {

struct FrameServices::Waiter {
  std::mutex mutex;
  std::condition_variable cv;
  bool done = false;
  bool dropped = false;
  std::exception_ptr error;
  Task task;
};

std::shared_ptr<FrameServices> FrameServices::Create(GMainContext* context, std::function<void()> closeFrame,
                                                     Timing timing) {
  return std::shared_ptr<FrameServices>(new FrameServices(context, std::move(closeFrame), timing));
}

FrameServices::FrameServices(GMainContext* context, std::function<void()> closeFrame, Timing timing)
    : context_(g_main_context_ref(context)),
      poster_(context),
      closeFrame_(std::move(closeFrame)),
      timing_(timing),
      uiThread_(std::this_thread::get_id()) {}

FrameServices::~FrameServices() {
  Stop();
  g_main_context_unref(context_);
}

void FrameServices::Schedule(std::function<void()> fn, std::chrono::milliseconds delay) {
  if (delay.count() > 0) poster_.PostDelayed(std::move(fn), delay);
  else poster_.Post(std::move(fn));
}

bool FrameServices::Call(Task task) {
  if (IsUiThread()) {
    task();
    return true;
  }
  auto waiter = std::make_shared<Waiter>();
  waiter->task = std::move(task);
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return false;
    waiters_.insert(waiter);
  }
  Schedule([waiter] {
    std::lock_guard lock(waiter->mutex);
    if (waiter->dropped) return;
    try {
      waiter->task();
    } catch (...) {
      waiter->error = std::current_exception();
    }
    waiter->done = true;
    waiter->cv.notify_all();
  });
  std::unique_lock lock(waiter->mutex);
  waiter->cv.wait(lock, [&] { return waiter->done || waiter->dropped; });
  bool ran = waiter->done;
  std::exception_ptr error = waiter->error;
  lock.unlock();
  {
    std::lock_guard self(mutex_);
    waiters_.erase(waiter);
  }
  if (error) std::rethrow_exception(error);
  return ran;
}

uint16_t FrameServices::Post(Task task) {
  uint16_t id = 0;
  {
    std::lock_guard lock(mutex_);
    if (closing_ || stopped_ || queue_.size() >= 0xFFFF) return 0;
    id = lastId_;
    do {
      id = static_cast<uint16_t>(id + 1);
    } while (id == 0 || queue_.count(id));
    lastId_ = id;
    queue_.emplace(id, std::move(task));
    ++pending_;
  }
  Schedule([weak = weak_from_this(), id] {
    if (auto self = weak.lock()) self->RunQueued(id);
  });
  return id;
}

void FrameServices::RunQueued(uint16_t id) {
  Task task;
  {
    std::lock_guard lock(mutex_);
    auto it = queue_.find(id);
    if (it == queue_.end()) return;
    if (!closing_) task = std::move(it->second);
    queue_.erase(it);
    if (!task) {
      --pending_;
      return;
    }
  }
  try {
    task();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "linkmeter: a window task failed: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "linkmeter: a window task failed\n");
  }
  std::lock_guard lock(mutex_);
  --pending_;
}

void FrameServices::ForceClose() {
  Schedule([weak = weak_from_this()] {
    if (auto self = weak.lock()) self->ForcedClose(0);
  });
}

void FrameServices::ForcedClose(int retry) {
  if (PendingTasks() > 0 && retry < timing_.maxRetries) {
    Schedule(
        [weak = weak_from_this(), retry] {
          if (auto self = weak.lock()) self->ForcedClose(retry + 1);
        },
        timing_.retryStep);
    return;
  }
  closeRetries_ = retry;
  if (closeFrame_) closeFrame_();
}

void FrameServices::SetClosing() {
  std::lock_guard lock(mutex_);
  closing_ = true;
}

bool FrameServices::Closing() const {
  std::lock_guard lock(mutex_);
  return closing_;
}

size_t FrameServices::PendingTasks() const {
  std::lock_guard lock(mutex_);
  return pending_;
}

void FrameServices::Stop() {
  std::set<std::shared_ptr<Waiter>> waiters;
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    closing_ = true;
    waiters = waiters_;
  }
  for (const auto& w : waiters) {
    std::lock_guard lock(w->mutex);
    if (w->done) continue;
    w->dropped = true;
    w->cv.notify_all();
  }
}

}  // namespace linkmeter::shell
