#pragma once
// Requests a native function in the page process hands to the UI process,
// where the windows and the keep-awake lock are: sent as queries that nobody
// waits for. The page-process side of the engine installs the sender; without
// one the natives do the work themselves where they can.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "lm/Json.h"
#include "sorrel/cef/JsNativeHandler.h"
#include "sorrel/cef/JsQueryHandler.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/js/KeepAwake.h"

namespace Sorrel::Js {

// Sends the query with its argument on behalf of the page making the call;
// false when it could not be sent.
using UiRequestSender =
    std::function<bool(const cef::JsNativeHandler::Call& call, const std::string& queryName, const lm::json::Value& arg)>;
void InstallUiRequestSender(UiRequestSender sender);
// Sends through the installed sender; false without one.
bool SendUiRequest(const cef::JsNativeHandler::Call& call, const std::string& queryName, const lm::json::Value& arg);

// What each page asks to keep awake, held as one lock for all of them.
// Pages whose browser has gone no longer count.
class KeepAwakeTable {
 public:
  explicit KeepAwakeTable(std::shared_ptr<KeepAwake> lock) : lock_(std::move(lock)) {}
  // `open`: the browsers still open; the others' requests are dropped.
  void Set(int32_t browserId, bool system, bool display, const std::set<int32_t>& open);
  void Forget(int32_t browserId);

 private:
  void Apply();
  std::mutex mutex_;
  std::map<int32_t, std::pair<bool, bool>> wanted_;
  std::shared_ptr<KeepAwake> lock_;
};

// Base of the requests: no page text, so the page sees no function.
class UiRequestQuery : public cef::JsQueryHandler {
 public:
  explicit UiRequestQuery(std::string queryName) : JsQueryHandler(std::move(queryName), "", 0) {}
  std::string Script() const override { return ""; }
};

// {"systemRequired": bool, "displayRequired": bool}: the calling page's
// lasting keep-awake request.
class KeepAwakeRequest : public UiRequestQuery {
 public:
  // The manager tells which pages are still open.
  KeepAwakeRequest(cef::Manager& manager, std::shared_ptr<KeepAwakeTable> table)
      : UiRequestQuery("JsKeepAwake"), manager_(manager), table_(std::move(table)) {}
  void Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) override;

 private:
  cef::Manager& manager_;
  std::shared_ptr<KeepAwakeTable> table_;
};

// "path": lets the user choose the application that opens the file.
class OpenWithRequest : public UiRequestQuery {
 public:
  OpenWithRequest() : UiRequestQuery("JsOpenWith") {}
  void Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) override;
};

}  // namespace Sorrel::Js
