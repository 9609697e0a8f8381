#pragma once
// One command at a time per unit. A call takes the unit's lease for the whole
// of its work and gives it back when the lease is destroyed; a call that
// waits for a busy unit stops waiting as soon as its own call is cancelled,
// so a queued call that was cancelled never reaches the unit. A caller that
// must not wait behind a long command (the search's probe) also bounds the
// wait.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "lm/CancelToken.h"

namespace Sorrel::Com {

class UnitGate {
 public:
  // Waits until the unit is free or the call is cancelled (token may be null:
  // wait until free). True when the unit is now held.
  bool Acquire(lm::CancelToken* cancel) { return Wait(cancel, std::nullopt); }
  // The same, giving up too once `limit` has passed.
  bool AcquireWithin(lm::CancelToken* cancel, std::chrono::milliseconds limit) {
    return Wait(cancel, std::chrono::steady_clock::now() + limit);
  }
  void Release();

 private:
  bool Wait(lm::CancelToken* cancel, std::optional<std::chrono::steady_clock::time_point> until);

  std::mutex mutex_;
  std::condition_variable freed_;
  bool busy_ = false;
};

class UnitLease {
 public:
  UnitLease(UnitGate& gate, lm::CancelToken* cancel) : gate_(gate), held_(gate.Acquire(cancel)) {}
  UnitLease(UnitGate& gate, lm::CancelToken* cancel, std::chrono::milliseconds limit)
      : gate_(gate), held_(gate.AcquireWithin(cancel, limit)) {}
  ~UnitLease() {
    if (held_) gate_.Release();
  }
  UnitLease(const UnitLease&) = delete;
  UnitLease& operator=(const UnitLease&) = delete;

  bool Held() const { return held_; }

 private:
  UnitGate& gate_;
  bool held_;
};

}  // namespace Sorrel::Com
