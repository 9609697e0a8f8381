#pragma once
// The one registry per process: the prelude script, the page functions (query
// handlers and native functions) and the open browsers.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sorrel/cef/Engine.h"
#include "sorrel/cef/JsNativeHandler.h"
#include "sorrel/cef/JsQueryFactory.h"

namespace Sorrel::cef {

class BsmsgRouter;

class Manager {
 public:
  Manager();

  // The process-wide instance.
  static Manager& Instance();

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

 private:
  std::string prelude_;
  std::shared_ptr<JsQueryFactory> factory_;
  std::vector<JsNativeHandlerPtr> natives_;

  mutable std::mutex mutex_;
  std::map<int32_t, BrowserPtr> browsers_;
};

}  // namespace Sorrel::cef
