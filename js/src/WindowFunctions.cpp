#include "sorrel/js/WindowFunctions.h"

#include <optional>

#include "sorrel/cef/ArgReader.h"
#include "sorrel/cef/BsmsgRouterCallback.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/js/HostUi.h"
#include "sorrel/js/UiWork.h"

namespace Sorrel::Js {

using cef::ArgReader;
using cef::Ensure;
using cef::EnsureExecuted;
using lm::json::Value;

namespace {

// A required member that is null (keep the current value) or a signed
// 32-bit integer; anything else fails with code 0 and the member's name.
std::optional<int32_t> KeepOrInt32(const ArgReader& reader, const std::string& name) {
  const Value* v = reader.Find(name, ArgReader::Need::Required);
  if (v->is<picojson::null>()) return std::nullopt;
  Ensure(lm::json::IsIntegral(*v, -2147483648.0, 2147483647.0), 0, name);
  return static_cast<int32_t>(v->get<double>());
}

// Runs the work on the calling window; without one, an execution error
// naming the function.
template <typename Work>
void OnCallingWindow(const cef::BrowserPtr& browser, const std::string& scriptName, Work work) {
  auto ui = CurrentUi();
  bool found = false;
  const bool ran = CallOnUi(*ui, [&] {
    if (HostWindow* window = ui->CallingWindow(browser)) {
      found = true;
      work(*window);
    }
  });
  EnsureExecuted(ran && found, -1, scriptName);
}

}  // namespace

std::string WindowQuery::Script() const {
  return ScriptName() + " = function(" + params_ + "){  app.jsQuery('" + QueryName() + "', " + argument_ +
         ", function(){});};";
}

void Exit::Execute(const cef::BrowserPtr&, const Value& args, const std::shared_ptr<cef::BsmsgRouterCallback>& reply) {
  // The page passes {force_exit}; a bare value is taken as well.
  const Value* force = &args;
  if (args.is<lm::json::Object>()) {
    const auto& o = args.get<lm::json::Object>();
    auto it = o.find("force_exit");
    static const Value null;
    force = it == o.end() ? &null : &it->second;
  }
  Ensure(force->is<picojson::null>() || force->is<bool>(), 0, "'arg' must have type boolean.");
  const bool forced = force->is<picojson::null>() || force->get<bool>();
  auto ui = CurrentUi();
  CallOnUi(*ui, [&] { ui->PostExit(forced); });
  reply->Success("null");
}

void CloseWindow::Execute(const cef::BrowserPtr& browser, const Value& args,
                          const std::shared_ptr<cef::BsmsgRouterCallback>& reply) {
  const lm::json::Object empty;
  const auto& members = args.is<lm::json::Object>() ? args.get<lm::json::Object>() : empty;
  auto ui = CurrentUi();
  bool found = false;
  const bool ran = CallOnUi(*ui, [&] {
    if (ui->HasClient(browser)) {
      Ensure(members.size() < 2, 0, "arguments");
      auto first = members.find("0");
      ui->SetClosingValue(browser, first == members.end() ? Value() : first->second);
    }
    if (HostWindow* window = ui->CallingWindow(browser)) {
      found = true;
      window->PostClose();
    }
  });
  EnsureExecuted(ran && found, -1, ScriptName());
  reply->Success("null");
}

void SetWindowSize::Execute(const cef::BrowserPtr& browser, const Value& args,
                            const std::shared_ptr<cef::BsmsgRouterCallback>& reply) {
  ArgReader reader(args, -1, -2);
  const auto w = KeepOrInt32(reader, "w");
  const auto h = KeepOrInt32(reader, "h");
  OnCallingWindow(browser, ScriptName(), [&](HostWindow& window) { window.SetClientSize(w, h); });
  reply->Success("null");
}

void SetWindowPos::Execute(const cef::BrowserPtr& browser, const Value& args,
                           const std::shared_ptr<cef::BsmsgRouterCallback>& reply) {
  ArgReader reader(args, -1, -2);
  const auto x = KeepOrInt32(reader, "x");
  const auto y = KeepOrInt32(reader, "y");
  OnCallingWindow(browser, ScriptName(), [&](HostWindow& window) { window.SetPosition(x, y); });
  reply->Success("null");
}

void SetWindowTextW::Execute(const cef::BrowserPtr& browser, const Value& args,
                             const std::shared_ptr<cef::BsmsgRouterCallback>& reply) {
  const std::string title = args.is<std::string>() ? args.get<std::string>() : std::string();
  auto ui = CurrentUi();
  CallOnUi(*ui, [&] {
    if (HostWindow* window = ui->CallingWindow(browser)) window->SetTitle(title);
  });
  reply->Success("null");
}

void MoveWindow::Execute(const cef::BrowserPtr& browser, const Value& args,
                         const std::shared_ptr<cef::BsmsgRouterCallback>& reply) {
  ArgReader reader(args, -1, -2);
  int32_t x = 0, y = 0;
  reader.Int32("x", x);
  reader.Int32("y", y);
  OnCallingWindow(browser, ScriptName(), [&](HostWindow& window) { window.MoveBy(x, y); });
  reply->Success("null");
}

void CenterWindow::Execute(const cef::BrowserPtr& browser, const Value& args,
                           const std::shared_ptr<cef::BsmsgRouterCallback>& reply) {
  ArgReader reader(args, -1, -2);
  bool desktop = false;
  reader.Bool("desktop", desktop, ArgReader::Need::Optional);
  OnCallingWindow(browser, ScriptName(), [&](HostWindow& window) { window.Center(desktop); });
  reply->Success("null");
}

// ---- descriptions ---------------------------------------------------------

namespace {

constexpr const char* kWin = "Windows and shell";
const HostFailureDoc kNoWindow{"-1", "no calling window (\"method error : <function>\"); seen on the page console only"};
const HostFailureDoc kNotObject{"-2", "the argument is not an object"};

}  // namespace

const HostDoc& Exit::Doc() const {
  static const HostDoc doc{
      kWin, "", "Ends the program: forced, or through the normal close that asks every page first.",
      {{"force_exit", "boolean or null", "optional", "true or null: forced close; false: the normal close"}},
      "None (the window closes after the answer).",
      {{"0", "\"Invalid arguments : 'arg' must have type boolean.\" (console only)"}}, "app.exit(false);",
      {__FILE__, "../../cef/src/ArgReader.cpp"}};
  return doc;
}

const HostDoc& CloseWindow::Doc() const {
  static const HostDoc doc{
      kWin, "", "Closes the window that shows the calling page, keeping an optional closing value.",
      {{"value", "any", "optional", "at most one argument"}}, "None.",
      {{"0", "\"Invalid arguments : arguments\": more than one argument"}, kNoWindow}, "app.closeWindow('done');",
      {__FILE__, "../../cef/src/ArgReader.cpp"}};
  return doc;
}

const HostDoc& SetWindowSize::Doc() const {
  static const HostDoc doc{
      kWin, "", "Sets the size of the calling window's content area in pixels.",
      {{"w", "integer or null", "required", "null keeps the width"}, {"h", "integer or null", "required", "null keeps the height"}},
      "None.", {{"-1", "w or h missing"}, {"0", "w or h not an integer: msg names the member"}, kNotObject, kNoWindow},
      "app.setWindowSize(1024, null);",
      {__FILE__, "../../cef/src/ArgReader.cpp"}};
  return doc;
}

const HostDoc& SetWindowPos::Doc() const {
  static const HostDoc doc{
      kWin, "", "Moves the calling window to a screen position (its frame's top-left corner).",
      {{"x", "integer or null", "required", "null keeps the left edge"}, {"y", "integer or null", "required", "null keeps the top edge"}},
      "None.", {{"-1", "x or y missing"}, {"0", "x or y not an integer: msg names the member"}, kNotObject, kNoWindow},
      "app.setWindowPos(0, 0);",
      {__FILE__, "../../cef/src/ArgReader.cpp"}};
  return doc;
}

const HostDoc& MoveWindow::Doc() const {
  static const HostDoc doc{
      kWin, "", "Moves the calling window by an offset from where it is.",
      {{"x", "integer", "required", "signed 32-bit"}, {"y", "integer", "required", "signed 32-bit"}}, "None.",
      {{"-1", "x or y missing"}, {"-2", "x or y not an integer"}, kNoWindow}, "app.moveWindow(40, -20);",
      {__FILE__, "../../cef/src/ArgReader.cpp"}};
  return doc;
}

const HostDoc& SetWindowTextW::Doc() const {
  static const HostDoc doc{
      kWin, "", "Sets the calling window's title.",
      {{"title", "string", "optional", "anything else gives an empty title"}}, "None.", {},
      "app.setWindowText('Linkmeter — site A');",
      {__FILE__, "../../cef/src/ArgReader.cpp"}};
  return doc;
}

const HostDoc& CenterWindow::Doc() const {
  static const HostDoc doc{
      kWin, "", "Centres the calling window over its parent, or over the screen.",
      {{"desktop", "boolean", "optional", "true: over the primary monitor"}}, "None.",
      {{"-2", "desktop is not a boolean"}, kNoWindow}, "app.centerWindow(true);",
      {__FILE__, "../../cef/src/ArgReader.cpp"}};
  return doc;
}

}  // namespace Sorrel::Js
