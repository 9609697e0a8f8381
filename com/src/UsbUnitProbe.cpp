#include "sorrel/com/UsbUnitProbe.h"

#include <optional>

#include "lm/Text.h"
#include "vantor/com/RegInfoModel.h"
#include "vantor/com/RowCommand.h"

namespace Sorrel::Com {
namespace {

using com::vantor::ExecResult;
using com::vantor::ExecutorVela;

// RUINF with the probe's own answer time.
class ProbeRuinf : public com::vantor::TcmdRow<"RUINF"> {
 public:
  explicit ProbeRuinf(int answerSeconds) : answerMs_(answerSeconds * 1000) {}
  int GetRecvTimeout(int /*phase*/) const override { return answerMs_; }

 private:
  int answerMs_;
};

std::string AnswerText(const com::vantor::Tcmd& command, const char* key) {
  auto value = command.GetRecvField(key);
  return value ? lm::text::AnsiToUtf8(*value) : std::string();
}

bool Cancelled(const lm::CancelToken* cancel) { return cancel && cancel->IsCancelled(); }

// Runs RUINF on the executor with the search's cancel attached meanwhile.
void Ask(ExecutorVela& executor, ProbeRuinf& ruinf, const lm::CancelToken* cancel) {
  struct Attach {
    ExecutorVela& executor;
    ~Attach() { executor.AttachCallCancel(nullptr); }
  } detachAfter{executor};
  executor.AttachCallCancel(cancel);
  executor.Execute(ruinf, 0);
}

ProbeOutcome Outcome(const ProbeRuinf& ruinf, int32_t port, WatchUsbInfo& out) {
  const ExecResult& result = ruinf.GetResult();
  if (result.status == ExecResult::kCancelled) return ProbeOutcome::kCancelled;
  // An answer without a status (unreadable, or another command's) is no
  // answer from the unit.
  if (!result.IsCompleted() || !ruinf.GetRecvField("STATUS")) return ProbeOutcome::kUnanswered;
  if (!ruinf.IsStatus(2, 0)) return ProbeOutcome::kStop;
  out = WatchUsbInfo{};
  auto ser = ruinf.GetRecvField("SER");
  out.serial = ser ? ParseSerialText(std::string(*ser)) : 0;
  out.name = AnswerText(ruinf, "NAME");
  out.descr = AnswerText(ruinf, "DESC");
  out.model = com::vantor::ModelName(out.serial);
  out.port = port;
  return ProbeOutcome::kFound;
}

}  // namespace

ProbeOutcome ProbeUsbUnit(ComExecutorTable& table, uint32_t serial, int32_t port, WatchUsbInfo& out,
                          lm::CancelToken* cancel, const ProbeLimits& limits) {
  out = WatchUsbInfo{};
  out.serial = serial;
  out.model = com::vantor::ModelName(serial);
  out.port = port;
  if (Cancelled(cancel)) return ProbeOutcome::kCancelled;
  // The unit's lease keeps its commands and this probe apart; units this
  // program does not talk to have no table entry and nothing to wait for.
  std::shared_ptr<ComExecutor> unit = table.Lookup(ComInfo{std::make_shared<WatchUsbInfo>(out), nullptr});
  std::optional<UnitLease> lease;
  if (unit) {
    lease.emplace(unit->Gate(), cancel, limits.busyWait);
    if (!lease->Held()) return Cancelled(cancel) ? ProbeOutcome::kCancelled : ProbeOutcome::kUnanswered;
  }

  ExecutorVela temporary;  // closed by its destructor
  ExecutorVela* executor = &temporary;
  if (unit && unit->Executor().IsOpen()) {
    executor = &unit->Executor();
  } else if (!temporary.OpenUSB(serial, 0).IsCompleted()) {
    return ProbeOutcome::kSkipped;
  }
  ProbeRuinf ruinf(limits.answerSeconds);
  Ask(*executor, ruinf, cancel);
  return Outcome(ruinf, port, out);
}

}  // namespace Sorrel::Com
