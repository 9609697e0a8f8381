#include "sorrel/cef/Manager.h"

#include "sorrel/cef/BsmsgRouter.h"

namespace Sorrel::cef {

Manager::Manager() : prelude_("var app = {};"), factory_(std::make_shared<JsQueryFactory>()) {}

bool Manager::AddQuery(JsQueryHandlerPtr handler) { return factory_->Add(std::move(handler)); }

void Manager::AppendPrelude(const std::string& text) { prelude_ += text; }

void Manager::AddNative(JsNativeHandlerPtr handler) {
  if (!handler) return;
  for (auto& existing : natives_) {
    if (existing->NativeName() == handler->NativeName()) {
      existing = std::move(handler);
      return;
    }
  }
  natives_.push_back(std::move(handler));
}

std::map<std::string, JsNativeHandlerPtr> Manager::NativeHandlersByName() const {
  std::map<std::string, JsNativeHandlerPtr> byName;
  for (const auto& h : natives_) byName[h->NativeName()] = h;
  return byName;
}

void Manager::RegisterBrowser(const BrowserPtr& browser, BsmsgRouter& router) {
  router.AttachFactory(factory_);
  std::lock_guard lock(mutex_);
  browsers_[browser->Identifier()] = browser;
}

void Manager::RemoveBrowser(int32_t browserId) {
  std::lock_guard lock(mutex_);
  browsers_.erase(browserId);
}

size_t Manager::BrowserCount() const {
  std::lock_guard lock(mutex_);
  return browsers_.size();
}

std::vector<BrowserPtr> Manager::Browsers() const {
  std::lock_guard lock(mutex_);
  std::vector<BrowserPtr> out;
  for (const auto& [id, b] : browsers_) out.push_back(b);
  return out;
}

void Manager::SetUiThread(std::shared_ptr<UiThread> ui) {
  std::lock_guard lock(mutex_);
  ui_ = std::move(ui);
}

std::shared_ptr<UiThread> Manager::Ui() const {
  std::lock_guard lock(mutex_);
  return ui_;
}

}  // namespace Sorrel::cef
