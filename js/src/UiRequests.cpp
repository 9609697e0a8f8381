#include "sorrel/js/UiRequests.h"

#include <set>

#include "sorrel/cef/ArgReader.h"
#include "sorrel/cef/BsmsgRouterCallback.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/js/FileNames.h"
#include "sorrel/js/HostUi.h"

namespace Sorrel::Js {

namespace {

std::mutex g_senderMutex;
UiRequestSender g_sender;

}  // namespace

void InstallUiRequestSender(UiRequestSender sender) {
  std::lock_guard lock(g_senderMutex);
  g_sender = std::move(sender);
}

bool SendUiRequest(const cef::JsNativeHandler::Call& call, const std::string& queryName, const lm::json::Value& arg) {
  UiRequestSender sender;
  {
    std::lock_guard lock(g_senderMutex);
    sender = g_sender;
  }
  return sender && sender(call, queryName, arg);
}

void KeepAwakeTable::Set(int32_t browserId, bool system, bool display, const std::set<int32_t>& open) {
  std::lock_guard lock(mutex_);
  for (auto it = wanted_.begin(); it != wanted_.end();) {
    if (open.count(it->first) == 0) it = wanted_.erase(it);
    else ++it;
  }
  wanted_[browserId] = {system, display};
  Apply();
}

void KeepAwakeTable::Forget(int32_t browserId) {
  std::lock_guard lock(mutex_);
  wanted_.erase(browserId);
  Apply();
}

void KeepAwakeTable::Apply() {
  bool system = false, display = false;
  for (const auto& [id, want] : wanted_) {
    system = system || want.first;
    display = display || want.second;
  }
  if (lock_) lock_->Hold(system, display);
}

void KeepAwakeRequest::Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
                               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) {
  cef::ArgReader r(args);
  bool system = false, display = false;
  r.Bool("systemRequired", system);
  r.Bool("displayRequired", display);
  // Pages that have gone let their share go.
  std::set<int32_t> open;
  for (const auto& b : manager_.Browsers()) open.insert(b->Identifier());
  if (browser) {
    open.insert(browser->Identifier());
    table_->Set(browser->Identifier(), system, display, open);
  }
  reply->Success("null");
}

void OpenWithRequest::Execute(const cef::BrowserPtr&, const lm::json::Value& args,
                              const std::shared_ptr<cef::BsmsgRouterCallback>& reply) {
  cef::ArgReader r(args);
  std::string path;
  r.String("path", path);
  auto name = TextToFileName(path);
  cef::Ensure(name.has_value(), -2, cef::MsgInvalid("path"));
  auto ui = CurrentUi();
  ui->Post([ui, name = *name] { ui->ChooseApplication(name); });
  reply->Success("null");
}

}  // namespace Sorrel::Js
