#include "sorrel/js/DialogFunctions.h"

#include <cmath>

#include "sorrel/cef/ArgReader.h"
#include "sorrel/cef/BsmsgRouterCallback.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/js/FileNames.h"
#include "sorrel/js/UiWork.h"

namespace Sorrel::Js {

using cef::ArgReader;
using cef::Ensure;
using lm::json::Value;
using Need = ArgReader::Need;

namespace {

std::string OptionalText(const lm::json::Object& o, const char* name) {
  auto it = o.find(name);
  return it != o.end() && it->second.is<std::string>() ? it->second.get<std::string>() : std::string();
}

// A failure whose text the page glue can parse: {"code1":code,"msg":text}.
[[noreturn]] void Fail(int32_t code, const std::string& text) {
  throw cef::Exception(code, lm::json::ToText(lm::json::ErrorObject(code, text)));
}

// The failure of a dialog whose chosen name has no text form: the page gets
// no path rather than one that names another file.
constexpr int32_t kFileDialogUnnamable = -4;
constexpr int32_t kFolderUnnamable = -3;

std::string UnnamableText(int32_t code, const std::string& name) {
  return cef::JsExecuteException(code, "the file name cannot be represented as text: " + FileNameForDisplay(name))
      .Text();
}

// What the page asked for as a name the chooser can use; a name the file
// system cannot carry is left out.
std::string AsFileName(const std::string& text) { return TextToFileName(text).value_or(std::string()); }

MenuItem ParseMenuItem(const Value& element) {
  Ensure(element.is<lm::json::Object>(), -1, "'menu' must have type object.");
  MenuItem item;
  if (element.get<lm::json::Object>().empty()) return item;  // a separator
  ArgReader r(element, -1, -2, "menu");
  r.String("name", item.name);
  if (const lm::json::Array* sub = r.Array("menu", Need::Optional)) {
    item.kind = MenuItem::Kind::kSubmenu;
    item.items = ParseMenu(*sub);
    return item;
  }
  item.kind = MenuItem::Kind::kCommand;
  r.UInt32("id", item.id);
  r.Bool("disable", item.disabled, Need::Optional);
  r.Bool("check", item.checked, Need::Optional);
  return item;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> BuildFilter(const lm::json::Array& elements) {
  std::string joined;
  for (const Value& e : elements) {
    Ensure(e.is<std::string>(), -111, "");
    joined += e.get<std::string>();
    if (joined.empty() || joined.back() != '|') joined += '|';
  }
  if (!joined.empty()) joined.pop_back();
  std::vector<std::string> parts;
  for (size_t start = 0; !joined.empty();) {
    size_t bar = joined.find('|', start);
    parts.push_back(joined.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  // A description left without patterns names nothing and is dropped.
  std::vector<std::pair<std::string, std::string>> filters;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) filters.emplace_back(parts[i], parts[i + 1]);
  return filters;
}

FileDialogRequest ParseFileDialog(const Value& arg) {
  Ensure(arg.is<lm::json::Object>(), -1, cef::MsgMustBeObject("arg"));
  const auto& o = arg.get<lm::json::Object>();
  FileDialogRequest request;
  request.title = OptionalText(o, "title");
  request.initDir = OptionalText(o, "initDir");
  request.initFile = OptionalText(o, "initFile");
  auto multi = o.find("multiSelect");
  request.multiSelect = multi != o.end() && multi->second.is<bool>() && multi->second.get<bool>();
  auto filter = o.find("filter");
  if (filter != o.end() && filter->second.is<lm::json::Array>())
    request.filters = BuildFilter(filter->second.get<lm::json::Array>());
  auto mode = o.find("mode");
  Ensure(mode != o.end() && mode->second.is<std::string>(), -2, cef::MsgMustBeString("mode"));
  const std::string& m = mode->second.get<std::string>();
  Ensure(m == "open" || m == "save", -3, cef::MsgInvalid("mode"));
  request.save = m == "save";
  if (request.save) request.multiSelect = false;
  return request;
}

std::vector<MenuItem> ParseMenu(const lm::json::Array& items) {
  std::vector<MenuItem> menu;
  for (const Value& e : items) menu.push_back(ParseMenuItem(e));
  return menu;
}

int32_t DevicePixels(double pagePixels, double scale) {
  const double dpi = scale * 96.0;
  const double device = std::trunc((std::fabs(pagePixels) * dpi + 48.0) / 96.0);
  const double clamped = std::fmin(device, 2147483647.0);
  return static_cast<int32_t>(pagePixels < 0 ? -clamped : clamped);
}

MenuPlacement ParsePlacement(const Value& arg, double scale) {
  ArgReader r(arg, -1, -2);
  MenuPlacement p;
  double a = 0, b = 0, c = 0, d = 0;
  if (r.Object("pos", Need::Optional)) {
    r.Number("pos.x", a);
    r.Number("pos.y", b);
    p.point = std::make_pair(DevicePixels(a, scale), DevicePixels(b, scale));
  }
  if (r.Object("rc", Need::Optional)) {
    r.Number("rc.left", a);
    r.Number("rc.top", b);
    r.Number("rc.right", c);
    r.Number("rc.bottom", d);
    p.exclude = MenuPlacement::Rect{DevicePixels(a, scale), DevicePixels(b, scale), DevicePixels(c, scale),
                                    DevicePixels(d, scale)};
  }
  std::string align;
  if (r.String("alignH", align, Need::Optional)) {
    Ensure(align == "left" || align == "center" || align == "right", -2, cef::MsgInvalid("alignH"));
    p.h = align == "left" ? MenuPlacement::H::kLeft : align == "center" ? MenuPlacement::H::kCenter
                                                                        : MenuPlacement::H::kRight;
  }
  if (r.String("alignV", align, Need::Optional)) {
    Ensure(align == "top" || align == "center" || align == "bottom", -2, cef::MsgInvalid("alignV"));
    p.v = align == "top" ? MenuPlacement::V::kTop : align == "center" ? MenuPlacement::V::kCenter
                                                                      : MenuPlacement::V::kBottom;
  }
  return p;
}

MessageBoxRequest ParseMessageBox(const Value& arg) {
  ArgReader r(arg, -1, -2);
  MessageBoxRequest m;
  r.String("title", m.title, Need::Optional);
  r.String("msg", m.text, Need::Optional);
  r.Int32("btn", m.buttons, Need::Optional);
  Ensure(m.buttons >= 0 && m.buttons <= 2, 0, "btn");
  r.Int32("icon", m.icon, Need::Optional);
  Ensure(m.icon >= 0 && m.icon <= 4, 0, "icon");
  return m;
}

void FileDialog::Execute(const cef::BrowserPtr&, const Value& args,
                         const std::shared_ptr<cef::BsmsgRouterCallback>& reply) {
  FileDialogRequest request = ParseFileDialog(args);
  request.initDir = AsFileName(request.initDir);
  // A bare name proposed for saving stays text (the chooser shows it as typed);
  // anything the chooser looks up on disk becomes a file name.
  if (!request.save || request.initFile.find('/') != std::string::npos) request.initFile = AsFileName(request.initFile);
  auto ui = CurrentUi();
  auto answer = [reply](const std::vector<std::string>& names) {
    lm::json::Array list;
    for (const auto& name : names) {
      auto text = FileNameToText(name);
      if (!text) return reply->Failure(0, UnnamableText(kFileDialogUnnamable, name));
      list.push_back(lm::json::String(*text));
    }
    reply->Success(lm::json::ToText(Value(std::move(list))));
  };
  // The worker is free at once; the dialog answers when the user is done.
  if (!ui->Post([ui, request, answer] { ui->ShowFileDialog(request, answer); })) answer({});
}

void BrowseForFolder::Execute(const cef::BrowserPtr&, const Value& args,
                              const std::shared_ptr<cef::BsmsgRouterCallback>& reply) {
  Ensure(args.is<lm::json::Object>(), -1, cef::MsgMustBeObject("arg"));
  const auto& o = args.get<lm::json::Object>();
  const std::string title = OptionalText(o, "title"), initDir = AsFileName(OptionalText(o, "initDir"));
  auto ui = CurrentUi();
  bool shown = false;
  std::optional<std::string> folder;
  CallOnUi(*ui, [&] {
    if (!ui->HasMainWindow()) return;
    shown = true;
    folder = ui->ChooseFolder(title, initDir);
  });
  if (!shown) Fail(-1, "not surpported");
  if (!folder) return reply->Success("null");
  auto text = FileNameToText(*folder);
  if (!text) return reply->Failure(0, UnnamableText(kFolderUnnamable, *folder));
  reply->Success(lm::json::ToText(lm::json::String(*text)));
}

void ShowContextMenu::Execute(const cef::BrowserPtr& browser, const Value& args,
                              const std::shared_ptr<cef::BsmsgRouterCallback>& reply) {
  ArgReader r(args, -1, -2);
  const lm::json::Array& items = *r.Array("menu");
  auto ui = CurrentUi();
  double scale = 1.0;
  ParsePlacement(args, scale);  // every argument is checked before the UI is touched
  bool hasMain = false;
  CallOnUi(*ui, [&] {
    hasMain = ui->HasMainWindow();
    if (!hasMain) return;
    scale = ui->Scale(browser);
    ui->Focus(browser);
  });
  const MenuPlacement placement = ParsePlacement(args, scale);
  std::vector<MenuItem> menu = ParseMenu(items);
  if (!hasMain) Fail(-1, "");
  auto answer = [reply](uint32_t id) { reply->Success(lm::json::ToText(lm::json::Number(id))); };
  if (!ui->Post([ui, browser, menu = std::move(menu), placement, answer] {
        if (!ui->HasMainWindow()) {
          answer(0);
          return;
        }
        ui->PopupMenu(browser, menu, placement, answer);
      }))
    answer(0);
}

void Msgbox::Execute(const cef::BrowserPtr&, const Value& args,
                     const std::shared_ptr<cef::BsmsgRouterCallback>& reply) {
  const MessageBoxRequest request = ParseMessageBox(args);
  auto ui = CurrentUi();
  bool shown = false;
  int32_t pressed = 0;
  CallOnUi(*ui, [&] {
    if (!ui->HasMainWindow()) return;
    shown = true;
    pressed = ui->MessageBox(request);
  });
  cef::EnsureExecuted(shown, -1, "");
  reply->Success(lm::json::ToText(lm::json::Number(pressed)));
}

// ---- descriptions ---------------------------------------------------------

namespace {
constexpr const char* kDlg = "Dialogs and menus";
}  // namespace

const HostDoc& FileDialog::Doc() const {
  static const HostDoc doc{
      kDlg, "", "The open or save dialog.",
      {{"mode", "string", "required", "\"open\" or \"save\""}, {"title", "string", "optional", ""},
       {"initDir", "string", "optional", "the folder shown first"}, {"initFile", "string", "optional", "the file name proposed"},
       {"multiSelect", "boolean", "optional", "true lets the user pick several files"},
       {"filter", "array of strings", "optional", "description and pattern pairs; one element may hold \"Text|*.txt\""}},
      "An array of full paths; empty when the user cancels.",
      {{"-1", "arg is not an object"}, {"-2", "mode missing or not a string"}, {"-3", "mode is neither \"open\" nor \"save\""},
       {"-111", "a filter element is not a string"},
       {"-4", "a chosen file's name has no text form (e.g. CP932 bytes on a Windows medium): \"method error : the file name "
              "cannot be represented as text: …\""}},
      "app.fileDialog({mode: 'save', initFile: 'survey.csv', filter: ['CSV', '*.csv']},\n  paths => paths.length && save(paths[0]), e => console.error(e.msg));",
      {__FILE__, "../../cef/src/ArgReader.cpp"}};
  return doc;
}

const HostDoc& BrowseForFolder::Doc() const {
  static const HostDoc doc{
      kDlg, "", "The folder chooser.", {{"title", "string", "optional", ""}},
      "The chosen folder's path, or null when cancelled.",
      {{"-1", "arg is not an object"}, {"-3", "the chosen folder's name has no text form (\"method error : the file name cannot be "
                                              "represented as text: …\")"}},
      "app.browseForFolder({title: 'Export to'}, folder => folder && exportTo(folder));",
      {__FILE__, "../../cef/src/ArgReader.cpp"}};
  return doc;
}

const HostDoc& ShowContextMenu::Doc() const {
  static const HostDoc doc{
      kDlg, "", "A popup menu; the answer is the picked item's id.",
      {{"menu", "array of items", "required", "{} a separator; {name, id, disable, check} an item; {name, menu} a submenu"},
       {"pos", "object {x, y}", "optional", "page pixels; without it the mouse position"},
       {"rc", "object {left, top, right, bottom}", "optional", "a rectangle the menu keeps clear of"},
       {"alignH", "string", "optional", "\"left\", \"center\" or \"right\""}, {"alignV", "string", "optional", "\"top\", \"center\" or \"bottom\""}},
      "The picked id, or 0 when the menu was dismissed.",
      {{"-1", "menu missing, an item not an object, or an item without id or menu"}, {"-2", "a member of the wrong type"}},
      "app.showContextMenu({menu: [{name: 'Survey', id: 1}, {}, {name: 'Remove', id: 2, disable: true}]},\n  id => id === 1 && survey());",
      {__FILE__, "../../cef/src/ArgReader.cpp"}};
  return doc;
}

const HostDoc& Msgbox::Doc() const {
  static const HostDoc doc{
      kDlg, "", "A modal message box.",
      {{"msg", "string", "optional", ""}, {"title", "string", "optional", ""},
       {"btn", "integer", "optional", "0 OK, 1 OK and Cancel, 2 Yes and No"},
       {"icon", "integer", "optional", "0 none, 1 warning, 2 information, 3 question, 4 error"}},
      "The pressed button: 1 OK, 2 Cancel, 3 Yes, 4 No, 0 otherwise.",
      {{"-2", "arg not an object, or a member of the wrong type"}, {"0", "btn or icon out of range: msg \"btn\" or \"icon\""},
       {"-1", "no main window (\"method error\")"}},
      "app.msgbox({title: 'Write', msg: 'Write the settings?', btn: 2, icon: 3}, b => b === 3 && write());",
      {__FILE__, "../../cef/src/ArgReader.cpp"}};
  return doc;
}

}  // namespace Sorrel::Js
