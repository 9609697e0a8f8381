#include "lm/monitor/loop/Backoff.h"

#include <algorithm>

namespace lm::monitor {

Backoff::Backoff(Duration first, Duration ceiling)
    : first_(std::max(first, Duration(1))), ceiling_(std::max(ceiling, first_)), next_(first_) {}

Backoff::Duration Backoff::Next() {
  const Duration wait = next_;
  // Doubling past the ceiling is clamped before it could overflow.
  next_ = next_ > ceiling_ / 2 ? ceiling_ : next_ * 2;
  return wait;
}

}  // namespace lm::monitor
