#pragma once
// SIGINT and SIGTERM as a stop request: while an object lives, either
// signal cancels its token. The handler only writes the signal number to a
// pipe; a watcher thread reads it and cancels, so no work runs inside the
// handler and any thread may take the signal.

#include <atomic>
#include <thread>

#include "lm/monitor/loop/CancelToken.h"

namespace lm::monitor {

class StopSignals {
 public:
  // At most one object at a time; a second one throws std::logic_error.
  // Throws std::system_error when the pipe or the handlers cannot be set.
  explicit StopSignals(CancelToken& token);
  // Puts back the handlers found before and joins the watcher.
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // The signal that cancelled the token, 0 while none came.
  int Received() const { return received_.load(); }

 private:
  void Watch();

  CancelToken& token_;
  int readFd_ = -1;
  int writeFd_ = -1;
  std::atomic<int> received_{0};
  std::thread watcher_;
};

}  // namespace lm::monitor
