#pragma once
// Base of the device-command handlers: parses comInfo, checks the unit is
// supported, waits for the unit (or for the call's cancel), opens it if
// needed, runs the command while holding it, and closes a connection it
// opened itself. All per-call state lives in the PrmExecutor of the call,
// so one registered handler serves any number of calls at once.
//
// Failures at this door: an argument or unit the program cannot use raises
// the bridge's exceptions (sorrel/cef/Exception.h); a device's own failure
// is no exception but the command's ExecResult, written into the answer's
// result object once (TcmdResult.cpp).

#include <memory>

#include "lm/CancelToken.h"
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
    // Set when the page or the router cancels this call.
    std::shared_ptr<lm::CancelToken> cancel;
  };

  ComExecutorBase(std::string queryName, std::string scriptName, int32_t cancellable,
                  ComExecutorTable& table);

  void Execute(const Sorrel::cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) final;
  void ExecuteTaking(const Sorrel::cef::BrowserPtr& browser, lm::json::Value&& args,
                     const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) final;

  // Model codes 41, 42 and 77 to 81, or a LAN unit reached without a serial.
  virtual bool IsSupported(const ComInfo& info) const;
  // The command itself, with the unit open and held; answers through prm.reply.
  virtual void Run(PrmExecutor& prm);
  // The answer of a call cancelled before it reached its unit: nothing was
  // sent. prm.unit is null here.
  virtual void RunCancelled(PrmExecutor& prm);

 protected:
  ComExecutorTable& Table() const { return table_; }

 private:
  void Start(const std::shared_ptr<PrmExecutor>& prm);
  // Opens the unit when needed, runs the command, closes what it opened.
  void RunHeld(PrmExecutor& prm);

  ComExecutorTable& table_;
};

// Opens a unit with the given retries; a failure raises JsExecuteException
// {"code1", "code2", "msg": "fail to open : " + the library's message}.
void OpenUnit(ComExecutor& unit, int retry);

}  // namespace Sorrel::Com
