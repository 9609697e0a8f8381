#pragma once
// app.com.open, app.com.close and app.com.isOpen: one shared handler each.

#include "sorrel/cef/JsQueryHandler.h"
#include "sorrel/com/ComExecutorTable.h"

namespace Sorrel::Com {

// Base of the three: holds the unit table they work on.
class UnitHandler : public Sorrel::cef::JsQueryHandler {
 public:
  UnitHandler(std::string queryName, std::string scriptName, ComExecutorTable& table)
      : JsQueryHandler(std::move(queryName), std::move(scriptName), 0), table_(table) {}

 protected:
  ComExecutorTable& Table() const { return table_; }
  // {"comInfo": the argument's comInfo}.
  static std::string ComInfoAnswer(const lm::json::Value& args);

 private:
  ComExecutorTable& table_;
};

// Opens a unit (again, for USB) with {comInfo, retry}.
class Open : public UnitHandler {
 public:
  explicit Open(ComExecutorTable& table) : UnitHandler("ComOpen", "app.com.open", table) {}
  void Execute(const Sorrel::cef::BrowserPtr&, const lm::json::Value& args,
               const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) override;
};

class Close : public UnitHandler {
 public:
  explicit Close(ComExecutorTable& table)
      : UnitHandler("ComClose", "app.com.close", table) {}
  void Execute(const Sorrel::cef::BrowserPtr&, const lm::json::Value& args,
               const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) override;
};

class IsOpen : public UnitHandler {
 public:
  explicit IsOpen(ComExecutorTable& table)
      : UnitHandler("ComIsOpen", "app.com.isOpen", table) {}
  void Execute(const Sorrel::cef::BrowserPtr&, const lm::json::Value& args,
               const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) override;
};

}  // namespace Sorrel::Com
