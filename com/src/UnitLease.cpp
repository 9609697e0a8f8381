#include "sorrel/com/UnitLease.h"

#include "lm/ThreadRole.h"

namespace Sorrel::Com {

bool UnitGate::Wait(lm::CancelToken* cancel, std::optional<std::chrono::steady_clock::time_point> until) {
  // Waiting for a unit means waiting for another call's device work.
  LM_EXPECT_OFF_WINDOW_THREAD("UnitGate::Acquire");
  // The listener wakes the waiter; it is registered outside the gate's lock
  // (the token calls it under its own lock, which is always taken first).
  lm::CancelToken::Subscription wake;
  if (cancel) {
    wake = cancel->Listen([this](bool) {
      { std::lock_guard lock(mutex_); }
      freed_.notify_all();
    });
  }
  std::unique_lock lock(mutex_);
  auto settled = [&] { return !busy_ || (cancel && cancel->IsCancelled()); };
  if (until) {
    freed_.wait_until(lock, *until, settled);
  } else {
    freed_.wait(lock, settled);
  }
  if (busy_ || (cancel && cancel->IsCancelled())) return false;
  busy_ = true;
  return true;
}

void UnitGate::Release() {
  {
    std::lock_guard lock(mutex_);
    busy_ = false;
  }
  freed_.notify_all();
}

}  // namespace Sorrel::Com
