#include "sorrel/com/ComExecutorBase.h"

#include "lm/Text.h"
#include "sorrel/cef/Exception.h"

namespace Sorrel::Com {

using Sorrel::cef::JsArgumentException;
using Sorrel::cef::JsExecuteException;

void OpenUnit(ComExecutor& unit, int retry) {
  auto& executor = unit.Executor();
  const ComInfo& info = unit.Info();
  com::vantor::ExecResult r =
      info.usb ? executor.OpenUSB(info.usb->serial, retry)
               : executor.OpenLAN(lm::text::Utf8ToAnsi(info.lan->ipAddr), info.lan->port,
                                  lm::text::Utf8ToAnsi(unit.LanPassword()), nullptr, retry);
  if (r.status == com::vantor::ExecResult::kCompleted) return;
  lm::json::Object error;
  error["code1"] = lm::json::Number(r.code1);
  error["code2"] = lm::json::Number(r.code2);
  error["msg"] = lm::json::String("fail to open : " + r.message);
  throw JsExecuteException::FromText(lm::json::ToText(lm::json::Value(std::move(error))));
}

ComExecutorBase::ComExecutorBase(std::string queryName, std::string scriptName, int32_t cancellable,
                                 ComExecutorTable& table)
    : JsQueryHandler(std::move(queryName), std::move(scriptName), cancellable), table_(table) {}

bool ComExecutorBase::IsSupported(const ComInfo& info) const {
  const uint32_t code = ModelCode(info.Serial());
  if (code == 41 || code == 42 || (code >= 77 && code <= 81)) return true;
  return info.lan && info.Serial() == 0;
}

void ComExecutorBase::Run(PrmExecutor& prm) { prm.reply->Success("null"); }

void ComExecutorBase::RunCancelled(PrmExecutor& prm) { prm.reply->Success("null"); }

void ComExecutorBase::Execute(const Sorrel::cef::BrowserPtr& browser, const lm::json::Value& args,
                              const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) {
  Start(std::make_shared<PrmExecutor>(shared_from_this(), browser, args, reply));
}

void ComExecutorBase::ExecuteTaking(const Sorrel::cef::BrowserPtr& browser, lm::json::Value&& args,
                                    const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) {
  Start(std::make_shared<PrmExecutor>(shared_from_this(), browser, std::move(args), reply));
}

void ComExecutorBase::Start(const std::shared_ptr<PrmExecutor>& prm) {
  const auto& reply = prm->reply;
  prm->cancel = reply ? reply->Cancellation() : std::make_shared<lm::CancelToken>();
  prm->comInfo = ParseComInfo(prm->args);
  if (!IsSupported(prm->comInfo)) {
    throw JsArgumentException(
        0, lm::text::Format("このAPIは指定したcomInfo(%s)に対応していません。", prm->comInfo.Model().c_str()));
  }
  auto unit = table_.Lookup(prm->comInfo);
  if (!unit) {
    throw JsExecuteException(0, "no connection can be made to the unit (" + prm->comInfo.Describe() + ")");
  }

  // One command at a time per unit: a second call waits its turn here, or
  // gives up waiting when it is cancelled.
  UnitLease lease(unit->Gate(), prm->cancel.get());
  if (!lease.Held() || prm->cancel->IsCancelled()) {
    RunCancelled(*prm);
    return;
  }
  prm->unit = unit;
  RunHeld(*prm);
}

void ComExecutorBase::RunHeld(PrmExecutor& prm) {
  auto& executor = prm.unit->Executor();
  // The executor sees this call's cancel for as long as the call holds it.
  struct AttachCancel {
    com::vantor::ExecutorVela& executor;
    AttachCancel(com::vantor::ExecutorVela& e, const lm::CancelToken* token) : executor(e) {
      executor.AttachCallCancel(token);
    }
    ~AttachCancel() { executor.AttachCallCancel(nullptr); }
  } attach(executor, prm.cancel.get());

  const bool wasOpen = executor.IsOpen();
  if (!wasOpen) {
    OpenUnit(*prm.unit, 0);
    prm.unit->SetOpenForOneCommand(true);
  }
  struct CloseIfOpenedHere {
    ComExecutor& unit;
    bool wasOpen;
    ~CloseIfOpenedHere() {
      if (wasOpen) return;
      if (unit.Executor().IsOpen()) unit.Executor().Close();
      unit.SetOpenForOneCommand(false);
    }
  } closeAfter{*prm.unit, wasOpen};
  Run(prm);
}

}  // namespace Sorrel::Com
