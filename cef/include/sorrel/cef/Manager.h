#pragma once
// The one registry per process, made by its root and handed down: the prelude script, the page functions (query
// handlers and native functions), the open browsers, the exit state and the
// window thread's services.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sorrel/cef/Engine.h"
#include "sorrel/cef/JsNativeHandler.h"
#include "sorrel/cef/JsQueryFactory.h"
#include "sorrel/cef/UiThread.h"

namespace Sorrel::cef {

class BsmsgRouter;

class Manager {
 public:
  Manager();

  // Registration, at start-up before any page asks for the script.
  bool AddQuery(JsQueryHandlerPtr handler);
  void AppendPrelude(const std::string& text);
  // A native function; a later one under the same native name replaces it.
  void AddNative(JsNativeHandlerPtr handler);

  const std::string& Prelude() const { return prelude_; }
  const JsQueryFactory& Factory() const { return *factory_; }
  std::shared_ptr<const JsQueryFactory> SharedFactory() const { return factory_; }
  const std::vector<JsNativeHandlerPtr>& NativeHandlers() const { return natives_; }
  std::map<std::string, JsNativeHandlerPtr> NativeHandlersByName() const;

  // Open browsers. Registering hands the query factory to the browser's router.
  void RegisterBrowser(const BrowserPtr& browser, BsmsgRouter& router);
  void RemoveBrowser(int32_t browserId);
  size_t BrowserCount() const;
  std::vector<BrowserPtr> Browsers() const;

  std::mutex& Mutex() const { return mutex_; }

  // The exit protocol's state: whether an exit is in progress, the frame's
  // close callback, and each open browser's answer to the confirm pass and
  // to the exit pass (none yet: nullopt).
  struct ExitState {
    bool exiting = false;
    std::function<void()> closeCallback;
    std::map<int32_t, std::optional<bool>> confirm;
    std::map<int32_t, std::optional<bool>> exit;
  };
  // Runs `fn(ExitState&)` under the Manager mutex; `fn` must not call back
  // into the Manager.
  template <typename Fn>
  auto WithExitState(Fn&& fn) {
    std::lock_guard lock(mutex_);
    return fn(exit_);
  }

  // The window thread's services; null until the program's frame exists.
  void SetUiThread(std::shared_ptr<UiThread> ui);
  std::shared_ptr<UiThread> Ui() const;

 private:
  std::string prelude_;
  std::shared_ptr<JsQueryFactory> factory_;
  std::vector<JsNativeHandlerPtr> natives_;

  mutable std::mutex mutex_;
  std::map<int32_t, BrowserPtr> browsers_;
  ExitState exit_;
  std::shared_ptr<UiThread> ui_;
};

}  // namespace Sorrel::cef
