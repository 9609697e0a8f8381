#pragma once
// The progress of a transfer in blocks (ETRND, EISUC, EWSUC): answers in a
// row that brought no new bytes. A unit that keeps answering without moving
// on is given up after kLimit such answers instead of being asked for ever.

#include <cstddef>
#include <string>

#include "vantor/com/ExecResult.h"

namespace com::vantor {

class BlockProgress {
 public:
  static constexpr int kLimit = 3;

  void Reset() {
    idle_ = 0;
    lastRefused_ = false;
  }
  // One answer: `newBytes` taken in (0 for a refused, empty or unreadable
  // one); `refused` is true for an answer with a failure status.
  void Answered(std::size_t newBytes, bool refused = false) {
    if (newBytes > 0) return Reset();
    lastRefused_ = refused;
    idle_ = idle_ < kLimit ? idle_ + 1 : kLimit;
  }
  bool GaveUp() const { return idle_ >= kLimit; }
  // Gave up, the last answer accepted yet bringing nothing: the case the
  // unit's own STATUS does not explain (a failure status speaks for itself).
  bool GaveUpOnEmptyAnswers() const { return GaveUp() && !lastRefused_; }
  int Idle() const { return idle_; }

  // The completed outcome of a transfer that stopped short, saying how far it
  // got; the caller reports it as not successful.
  static ExecResult StoppedShort(std::size_t got, std::size_t expected) {
    return ExecResult(ExecResult::kCompleted, "no new data in " + std::to_string(kLimit) + " answers in a row: " +
                                                  std::to_string(got) + " of " + std::to_string(expected) + " bytes");
  }

 private:
  int idle_ = 0;
  bool lastRefused_ = false;
};

}  // namespace com::vantor
