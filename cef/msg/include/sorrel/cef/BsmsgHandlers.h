#pragma once
// The browser side of the process messages: the handlers of messages from
// pages, and sending script or events to pages.

#include <string>

#include "sorrel/cef/CallbackTable.h"
#include "sorrel/cef/Engine.h"
#include "sorrel/cef/MsgRouter.h"

namespace Sorrel::cef {

class Manager;

inline constexpr const char* kMsgEval = "cefmsg.eval.b2r";
inline constexpr const char* kMsgExecCallback = "cefmsg.execcallback.r2b";
inline constexpr const char* kMsgEventListenerToBrowser = "cefmsg.eventlistener.r2b";
inline constexpr const char* kMsgEventListenerToPage = "cefmsg.eventlistener.b2r";

// A browser whose page can receive process messages. Engine adapters
// implement it beside Browser.
class ProcessMessageSink {
 public:
  virtual ~ProcessMessageSink() = default;
  virtual bool SendProcessMessage(const ProcessMessage& message) = 0;
};

using BsmsgMsgRouter = MsgRouter<BrowserPtr>;

// "cefmsg.execcallback.r2b": [ {"id": integer, "args": list} ] calls and
// removes the CallbackTable entry.
class BsmsgExecCallback : public BsmsgMsgRouter::MsgHandler {
 public:
  explicit BsmsgExecCallback(CallbackTable& table);
  void Handle(BrowserPtr& browser, const ProcessMessage& message) override;

 private:
  CallbackTable& table_;
};

// "cefmsg.eventlistener.r2b": the same list goes as "cefmsg.eventlistener.b2r"
// to every open browser, the sender included.
class BsmsgEventListener : public BsmsgMsgRouter::MsgHandler {
 public:
  explicit BsmsgEventListener(Manager& manager);
  void Handle(BrowserPtr& browser, const ProcessMessage& message) override;

 private:
  Manager& manager_;
};

// A router with both handlers.
void AddBrowserMessageHandlers(BsmsgMsgRouter& router, Manager& manager, CallbackTable& table);

// Sends a message to the browser's page; false when it cannot receive one.
bool SendToPage(const BrowserPtr& browser, const ProcessMessage& message);
// "cefmsg.eval.b2r" with the script: evaluated in the page's main frame.
bool EvalInPage(const BrowserPtr& browser, const std::string& script);
// The script in every open browser's page.
void EvalInEveryPage(const Manager& manager, const std::string& script);

}  // namespace Sorrel::cef
