#include "sorrel/cef/BsmsgHandlers.h"

#include "sorrel/cef/Exception.h"
#include "sorrel/cef/Manager.h"

namespace Sorrel::cef {

BsmsgExecCallback::BsmsgExecCallback(CallbackTable& table) : MsgHandler(kMsgExecCallback), table_(table) {}

void BsmsgExecCallback::Handle(BrowserPtr&, const ProcessMessage& message) {
  if (message.args.empty()) throw Exception(-1, "no arguments");
  const MsgValue& arg = message.args[0];
  if (arg.GetType() != MsgValue::Type::Dictionary) throw Exception(-2, "argument 0 is not a dictionary");
  const MsgValue* id = arg.Find("id");
  if (!id || id->GetType() != MsgValue::Type::Int) throw Exception(-3, "'id' is not an integer");
  const MsgValue* args = arg.Find("args");
  if (!args || args->GetType() != MsgValue::Type::List) throw Exception(-4, "'args' is not a list");
  table_.Invoke(id->GetInt(), args->GetList());
}

BsmsgEventListener::BsmsgEventListener(Manager& manager)
    : MsgHandler(kMsgEventListenerToBrowser), manager_(manager) {}

void BsmsgEventListener::Handle(BrowserPtr&, const ProcessMessage& message) {
  ProcessMessage out{kMsgEventListenerToPage, message.args};
  for (const auto& browser : manager_.Browsers()) SendToPage(browser, out);
}

void AddBrowserMessageHandlers(BsmsgMsgRouter& router, Manager& manager, CallbackTable& table) {
  router.Add(std::make_shared<BsmsgExecCallback>(table));
  router.Add(std::make_shared<BsmsgEventListener>(manager));
}

bool SendToPage(const BrowserPtr& browser, const ProcessMessage& message) {
  auto* sink = dynamic_cast<ProcessMessageSink*>(browser.get());
  return sink && sink->SendProcessMessage(message);
}

bool EvalInPage(const BrowserPtr& browser, const std::string& script) {
  return SendToPage(browser, ProcessMessage{kMsgEval, {MsgValue::String(script)}});
}

void EvalInEveryPage(const Manager& manager, const std::string& script) {
  for (const auto& browser : manager.Browsers()) EvalInPage(browser, script);
}

}  // namespace Sorrel::cef
