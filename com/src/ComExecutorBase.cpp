#include "sorrel/com/ComExecutorBase.h"

#include <chrono>
#include <thread>

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

void ComExecutorBase::SetCurrent(std::shared_ptr<PrmExecutor> prm) {
  std::lock_guard lock(currentMutex_);
  current_ = std::move(prm);
}

std::shared_ptr<ComExecutor> ComExecutorBase::CurrentUnit() const {
  std::lock_guard lock(currentMutex_);
  return current_ ? current_->unit : nullptr;
}

void ComExecutorBase::Execute(const Sorrel::cef::BrowserPtr& browser, const lm::json::Value& args,
                              const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) {
  auto prm = std::make_shared<PrmExecutor>(shared_from_this(), browser, args, reply);
  prm->comInfo = ParseComInfo(args);
  if (!IsSupported(prm->comInfo)) {
    throw JsArgumentException(
        0, lm::text::Format("このAPIは指定したcomInfo(%s)に対応していません。", prm->comInfo.Model().c_str()));
  }
  auto unit = table_.Lookup(prm->comInfo);
  if (!unit) throw JsExecuteException(0, "");

  // One command at a time per unit: a second call waits its turn here.
  std::lock_guard busy(unit->Busy());
  prm->unit = unit;
  SetCurrent(prm);
  struct ClearCurrent {
    ComExecutorBase& self;
    ~ClearCurrent() { self.SetCurrent(nullptr); }
  } clearCurrent{*this};

  const bool wasOpen = unit->Executor().IsOpen();
  if (!wasOpen) OpenUnit(*unit, 0);
  struct CloseIfOpenedHere {
    ComExecutor& unit;
    bool wasOpen;
    ~CloseIfOpenedHere() {
      if (!wasOpen && unit.Executor().IsOpen()) unit.Executor().Close();
    }
  } closeAfter{*unit, wasOpen};
  Run(*prm);
}

void ComExecutorBase::Cancel(bool routerCancel) {
  // The call may not have reached its unit yet: give it a moment.
  if (!CurrentUnit()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (auto unit = CurrentUnit()) unit->Executor().RequestCancel(routerCancel);
}

}  // namespace Sorrel::Com
