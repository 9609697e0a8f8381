#pragma once
// app.exit, app.closeWindow and the functions that size, place, retitle and
// centre the calling window. Arguments are read on the query worker; the
// window work runs in one waiting call on the UI thread.

#include <string>

#include "sorrel/cef/JsQueryHandler.h"
#include "sorrel/js/HostDoc.h"

namespace Sorrel::Js {

// A host query function whose page text passes the given argument text and
// a success callback that does nothing.
class WindowQuery : public cef::JsQueryHandler, public Described {
 public:
  WindowQuery(std::string queryName, std::string scriptName, std::string params, std::string argument)
      : JsQueryHandler(std::move(queryName), std::move(scriptName), 0),
        params_(std::move(params)),
        argument_(std::move(argument)) {}
  std::string Script() const override;

 private:
  std::string params_;
  std::string argument_;
};

class Exit : public WindowQuery {
 public:
  Exit() : WindowQuery("JsExit", "app.exit", "force_exit", "{force_exit:force_exit}") {}
  void Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) override;
  const HostDoc& Doc() const override;
};

class CloseWindow : public WindowQuery {
 public:
  CloseWindow() : WindowQuery("JsCloseWindow", "app.closeWindow", "", "arguments") {}
  void Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) override;
  const HostDoc& Doc() const override;
};

class SetWindowSize : public WindowQuery {
 public:
  SetWindowSize() : WindowQuery("JsSetWindowSize", "app.setWindowSize", "w, h", "{w:w, h:h}") {}
  void Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) override;
  const HostDoc& Doc() const override;
};

class SetWindowPos : public WindowQuery {
 public:
  SetWindowPos() : WindowQuery("JsSetWindowPos", "app.setWindowPos", "x, y", "{x:x, y:y}") {}
  void Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) override;
  const HostDoc& Doc() const override;
};

class SetWindowTextW : public WindowQuery {
 public:
  SetWindowTextW() : WindowQuery("JsSetWindowText", "app.setWindowText", "title", "title") {}
  void Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) override;
  const HostDoc& Doc() const override;
};

class MoveWindow : public WindowQuery {
 public:
  MoveWindow() : WindowQuery("JsMoveWindow", "app.moveWindow", "x, y", "{x:x, y:y}") {}
  void Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) override;
  const HostDoc& Doc() const override;
};

class CenterWindow : public WindowQuery {
 public:
  CenterWindow() : WindowQuery("JsCenterWindow", "app.centerWindow", "desktop", "{desktop:desktop}") {}
  void Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) override;
  const HostDoc& Doc() const override;
};

}  // namespace Sorrel::Js
