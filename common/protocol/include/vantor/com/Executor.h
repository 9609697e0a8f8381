#pragma once
// Owns one connection to one base unit and drives a command through its
// exchanges: send, receive, decide, pause, send again — until the command
// is done, the caller cancels or the deadline passes. The outcome is left
// in the command's result.
//
// Failures at this door: none is thrown. A device's failure, a timeout or a
// cancel is the command's ExecResult; a command's steps may raise an
// ExecResult from deep inside (ExecResult::Error, ::Timeout), and Execute
// catches it once and makes it the result.

#include <atomic>
#include <cstdint>

#include "lm/CancelToken.h"
#include "vantor/com/ExecResult.h"
#include "vantor/com/Icmd.h"

namespace com::vantor {

class Executor {
 public:
  virtual ~Executor() = default;

  virtual bool IsOpen() const = 0;
  virtual void Close() = 0;
  // One request; a completed result or an error result.
  virtual ExecResult Send(const Bytes& bytes) = 0;
  // One answer, handed to the command's ParseRecvData; a completed result
  // or an error result.
  virtual ExecResult Recv(int phase, Icmd& command) = 0;

  // Runs the command to its end; timeoutMs 0 means no deadline. Error
  // results thrown by hooks end the run and are stored like any outcome;
  // other exceptions from hooks pass through.
  void Execute(Icmd& command, std::int64_t timeoutMs);
  // Asks a running Execute to cancel at its next exchange boundary; with
  // abandon set it stops right after the cancel exchange instead of
  // following the device. Safe from any thread.
  void RequestCancel(bool abandon);

  // The cancellation of the call that holds this executor, looked at as well
  // as the flags above. Unlike them it is not forgotten when Execute starts:
  // a command run for a cancelled call sends nothing and ends cancelled.
  // The token must outlive its attachment; null detaches.
  void AttachCallCancel(const lm::CancelToken* token) { callCancel_.store(token); }

  // The millisecond tick deadlines are measured in.
  static std::uint64_t NowTick();

 private:
  ExecResult Run(Icmd& command);
  ExecResult Exchange(Icmd& command, int requestPhase, int answerPhase);
  ExecResult Cancel(Icmd& command);
  bool DeadlinePassed() const;
  bool CancelRequested() const;
  bool Abandoning() const;

  std::atomic<bool> cancelRequested_{false};
  std::atomic<bool> abandon_{false};
  std::atomic<const lm::CancelToken*> callCancel_{nullptr};
  std::uint64_t deadline_ = 0;  // 0: none
};

}  // namespace com::vantor
