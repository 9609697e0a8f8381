#pragma once
// app.com.searchUSB, app.com.searchLAN and app.com.searchLogger. One
// registered object serves every call: the state they share lives in the
// process-wide watchers, and a call waits for the search before it.

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "sorrel/cef/JsQueryHandler.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComExecutorTable.h"
#include "sorrel/com/SearchEntries.h"
#include "sorrel/com/SearchWatchers.h"

namespace Sorrel::Com {

class SearchHandler : public Sorrel::cef::JsQueryHandler {
 public:
  SearchHandler(std::string queryName, std::string scriptName, Sorrel::cef::Manager& manager,
                SearchWatchers& watchers, ComExecutorTable& table)
      : JsQueryHandler(std::move(queryName), std::move(scriptName), 0),
        manager_(manager), watchers_(watchers), table_(table) {}

 protected:
  SearchWatchers& Watchers() const { return watchers_; }
  ComExecutorTable& Table() const { return table_; }
  std::shared_ptr<Sorrel::cef::UiThread> Ui() const { return manager_.Ui(); }
  // Runs the task on the window thread and waits for it; at once when this
  // is the window thread or there is none (a host without windows). Raises
  // when the window thread no longer runs tasks.
  void CallOnWindowThread(const std::function<void()>& task) const;
  SearchWatchers::WindowRunner OnWindow() const;
  static lm::CancelToken* CancelOf(const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply);
  // Waits until no other search runs; the search is this call's while the
  // returned lease lives. Raises when the call is cancelled meanwhile.
  std::shared_ptr<UnitLease> WaitTurn(const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) const;

 private:
  Sorrel::cef::Manager& manager_;
  SearchWatchers& watchers_;
  ComExecutorTable& table_;
};

// Lists the USB base units the flags ask for. The bus and the units are
// asked on the query's worker; the watchers' lists change on the window
// thread.
class SearchUSB : public SearchHandler {
 public:
  explicit SearchUSB(Sorrel::cef::Manager& manager, SearchWatchers& watchers,
                     ComExecutorTable& table)
      : SearchHandler("ComSearchUSB", "app.com.searchUSB", manager, watchers, table) {}
  void Execute(const Sorrel::cef::BrowserPtr&, const lm::json::Value& args,
               const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) override;
};

// Lists the LAN base units of models 78 and 80 that answer the UDP search.
class SearchLAN : public SearchHandler {
 public:
  explicit SearchLAN(Sorrel::cef::Manager& manager, SearchWatchers& watchers,
                     ComExecutorTable& table)
      : SearchHandler("ComSearchLAN", "app.com.searchLAN", manager, watchers, table) {}
  void Execute(const Sorrel::cef::BrowserPtr&, const lm::json::Value& args,
               const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) override;
};

// Finds loggers on the optical port of base units: the one with a serial
// number, the one on a given base unit, or every one on the USB base units.
class SearchLogger : public SearchHandler {
 public:
  using Result = SearchLoggerResult;

  explicit SearchLogger(Sorrel::cef::Manager& manager, SearchWatchers& watchers,
                        ComExecutorTable& table)
      : SearchHandler("ComSearchLogger", "app.com.searchLogger", manager, watchers, table) {}
  void Execute(const Sorrel::cef::BrowserPtr&, const lm::json::Value& args,
               const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) override;

 private:
  std::vector<Result> BySerial(uint32_t serial, lm::CancelToken* cancel) const;
  std::vector<Result> OnBaseUnit(const ComInfo& base, lm::CancelToken* cancel) const;
  std::vector<Result> OnEveryUsbUnit(lm::CancelToken* cancel) const;
  // One base unit's logger; a unit that stayed busy is added to `busy`, a
  // cancel throws.
  std::optional<Result> Read(const ComInfo& base, lm::CancelToken* cancel, std::vector<uint32_t>& busy) const;
  // Throws the failure naming the busy units, when there are any.
  static void NothingFound(const std::vector<uint32_t>& busy);
  // Rescans the USB watcher the flags name (the other is cleared) and
  // returns a copy of its list.
  std::vector<WatchUsbInfo> RescanUsb(bool vlb3, lm::CancelToken* cancel) const;
};

}  // namespace Sorrel::Com
