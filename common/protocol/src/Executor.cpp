#include "vantor/com/Executor.h"

#include <chrono>
#include <thread>

#include "lm/ThreadRole.h"

namespace com::vantor {
namespace {

void Pause(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace

std::uint64_t Executor::NowTick() {
  auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void Executor::Execute(Icmd& command, std::int64_t timeoutMs) {
  cancelRequested_ = false;
  deadline_ = timeoutMs > 0 ? NowTick() + static_cast<std::uint64_t>(timeoutMs) : 0;
  ExecResult outcome;
  try {
    outcome = Run(command);
  } catch (const ExecResult& raised) {
    outcome = raised;
  }
  command.SetResult(outcome);
  if (!outcome.IsCompleted()) return;
  try {
    command.OnFinish();
  } catch (const ExecResult& raised) {
    command.SetResult(raised);
  }
}

void Executor::RequestCancel(bool abandon) {
  abandon_ = abandon;
  cancelRequested_ = true;
}

bool Executor::CancelRequested() const {
  const lm::CancelToken* call = callCancel_.load();
  return cancelRequested_ || (call && call->IsCancelled());
}

bool Executor::Abandoning() const {
  const lm::CancelToken* call = callCancel_.load();
  return abandon_ || (call && call->IsAbandoned());
}

bool Executor::DeadlinePassed() const { return deadline_ != 0 && NowTick() > deadline_; }

ExecResult Executor::Exchange(Icmd& command, int requestPhase, int answerPhase) {
  LM_EXPECT_OFF_WINDOW_THREAD("Executor::Exchange");
  Bytes request = command.BuildSendData(requestPhase);
  if (!request.empty()) {
    if (ExecResult sent = Send(request); !sent.IsCompleted()) return sent;
  }
  return Recv(answerPhase, command);
}

ExecResult Executor::Run(Icmd& command) {
  if (!IsOpen()) return ExecResult::NotOpen();
  const lm::CancelToken* call = callCancel_.load();
  if (call && call->IsCancelled()) return ExecResult::Cancelled();
  command.Reset();
  command.SetResult(ExecResult::Started());
  if (ExecResult first = Exchange(command, kPhaseFirst, kPhaseFirst); !first.IsCompleted()) return first;
  int phase = kPhaseFirst;
  while (command.IsContinue(phase)) {
    if (CancelRequested()) return Cancel(command);
    if (DeadlinePassed()) return ExecResult::Timeout();
    Pause(command.GetInterval());
    phase = kPhaseFollowUp;
    if (ExecResult next = Exchange(command, phase, phase); !next.IsCompleted()) return next;
  }
  return ExecResult::Completed();
}

ExecResult Executor::Cancel(Icmd& command) {
  Bytes request = command.BuildSendData(kPhaseCancel);
  if (request.empty()) return ExecResult::Cancelled();
  if (ExecResult sent = Send(request); !sent.IsCompleted()) return sent;
  if (ExecResult answered = Recv(kPhaseCancel, command); !answered.IsCompleted()) return answered;
  // Follow the device until it has wound down, unless told to abandon it.
  int phase = kPhaseCancel;
  while (!Abandoning() && command.IsContinue(phase)) {
    if (DeadlinePassed()) return ExecResult::Timeout();
    Pause(command.GetInterval());
    phase = kPhaseFollowUp;
    if (ExecResult next = Exchange(command, phase, phase); !next.IsCompleted()) return next;
  }
  return ExecResult::Cancelled();
}

}  // namespace com::vantor
