#pragma once
// One command at a time per unit. A call takes the unit's lease for the whole
// of its work and gives it back when the lease is destroyed; a call that
// waits for a busy unit stops waiting as soon as its own call is cancelled,
// so a queued call that was cancelled never reaches the unit.

#include <condition_variable>
#include <mutex>

#include "lm/CancelToken.h"

namespace Sorrel::Com {

class UnitGate {
 public:
  // Waits until the unit is free or the call is cancelled (token may be null:
  // wait until free). True when the unit is now held.
  bool Acquire(lm::CancelToken* cancel);
  void Release();

 private:
  std::mutex mutex_;
  std::condition_variable freed_;
  bool busy_ = false;
};

class UnitLease {
 public:
  UnitLease(UnitGate& gate, lm::CancelToken* cancel) : gate_(gate), held_(gate.Acquire(cancel)) {}
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
