#pragma once
// Base of the device-command handlers: parses comInfo, checks the unit is
// supported, finds and (if needed) opens it, runs the command while holding
// the unit, and closes a connection it opened itself.

#include <memory>
#include <mutex>

#include "sorrel/cef/JsQueryHandler.h"
#include "sorrel/com/ComExecutor.h"
#include "sorrel/com/ComExecutorTable.h"

namespace Sorrel::Com {

class ComExecutorBase : public Sorrel::cef::JsQueryHandler {
 public:
  // One call in progress.
  struct PrmExecutor : PrmQuery {
    using PrmQuery::PrmQuery;
    ComInfo comInfo;
    std::shared_ptr<ComExecutor> unit;
  };

  ComExecutorBase(std::string queryName, std::string scriptName, int32_t cancellable,
                  ComExecutorTable& table = ComExecutorTable::Instance());

  void Execute(const Sorrel::cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) override;
  void Cancel(bool routerCancel) override;

  // Model codes 41, 42 and 77 to 81, or a LAN unit reached without a serial.
  virtual bool IsSupported(const ComInfo& info) const;
  // The command itself, with the unit open and held; answers through prm.reply.
  virtual void Run(PrmExecutor& prm);

 protected:
  ComExecutorTable& Table() const { return table_; }

 private:
  void SetCurrent(std::shared_ptr<PrmExecutor> prm);
  std::shared_ptr<ComExecutor> CurrentUnit() const;

  ComExecutorTable& table_;
  mutable std::mutex currentMutex_;
  std::shared_ptr<PrmExecutor> current_;
};

// Opens a unit with the given retries; a failure raises JsExecuteException
// {"code1", "code2", "msg": "fail to open : " + the library's message}.
void OpenUnit(ComExecutor& unit, int retry);

}  // namespace Sorrel::Com
