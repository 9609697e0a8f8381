#pragma once
// The waits between tries after a failed survey: the first wait, doubled
// each time up to a ceiling (the monitor's interval), back to the first
// after a success.

#include <chrono>

namespace lm::monitor {

class Backoff {
 public:
  using Duration = std::chrono::milliseconds;

  // `ceiling` below `first` counts as `first`.
  Backoff(Duration first, Duration ceiling);

  // The wait before the next try; each call doubles the following one.
  Duration Next();
  void Reset() { next_ = first_; }

 private:
  Duration first_, ceiling_, next_;
};

}  // namespace lm::monitor
