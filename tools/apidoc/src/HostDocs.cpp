// Descriptions of the window, dialog and menu functions; the native host
// functions carry their own (HostNative::Doc).
#include "DescribedTables.h"
#include "DocBuilder.h"

namespace linkmeter::apidoc {

const std::vector<FunctionDoc>& DescribedFunctions() {
  static const std::vector<FunctionDoc> all = [] {
    std::vector<FunctionDoc> docs = detail::WindowAndDialogDocs();
    for (auto* part : {&detail::UnitDocs}) {
      auto more = (*part)();
      docs.insert(docs.end(), more.begin(), more.end());
    }
    return docs;
  }();
  return all;
}

namespace detail {
namespace {

constexpr const char* kWin = "Windows and shell";
constexpr const char* kDlg = "Dialogs and menus";

const FailureDoc kNoWindow{"-1", "no calling window (\"method error : <function>\"); seen on the page console only"};
const FailureDoc kNotObject{"-2", "the argument is not an object"};

}  // namespace

std::vector<FunctionDoc> WindowAndDialogDocs() {
  return {
      Doc("app.exit", kWin, "", "Ends the program: forced, or through the normal close that asks every page first.",
          {{"force_exit", "boolean or null", "optional", "true or null: forced close; false: the normal close"}},
          "None (the window closes after the answer).",
          {{"0", "\"Invalid arguments : 'arg' must have type boolean.\" (console only)"}}, "app.exit(false);"),
      Doc("app.closeWindow", kWin, "", "Closes the window that shows the calling page, keeping an optional closing value.",
          {{"value", "any", "optional", "at most one argument"}}, "None.",
          {{"0", "\"Invalid arguments : arguments\": more than one argument"}, kNoWindow}, "app.closeWindow('done');"),
      Doc("app.setWindowSize", kWin, "", "Sets the size of the calling window's content area in pixels.",
          {{"w", "integer or null", "required", "null keeps the width"}, {"h", "integer or null", "required", "null keeps the height"}},
          "None.", {{"-1", "w or h missing"}, {"0", "w or h not an integer: msg names the member"}, kNotObject, kNoWindow},
          "app.setWindowSize(1024, null);"),
      Doc("app.setWindowPos", kWin, "", "Moves the calling window to a screen position (its frame's top-left corner).",
          {{"x", "integer or null", "required", "null keeps the left edge"}, {"y", "integer or null", "required", "null keeps the top edge"}},
          "None.", {{"-1", "x or y missing"}, {"0", "x or y not an integer: msg names the member"}, kNotObject, kNoWindow},
          "app.setWindowPos(0, 0);"),
      Doc("app.moveWindow", kWin, "", "Moves the calling window by an offset from where it is.",
          {{"x", "integer", "required", "signed 32-bit"}, {"y", "integer", "required", "signed 32-bit"}}, "None.",
          {{"-1", "x or y missing"}, {"-2", "x or y not an integer"}, kNoWindow}, "app.moveWindow(40, -20);"),
      Doc("app.setWindowText", kWin, "", "Sets the calling window's title.",
          {{"title", "string", "optional", "anything else gives an empty title"}}, "None.", {},
          "app.setWindowText('Linkmeter — site A');"),
      Doc("app.centerWindow", kWin, "", "Centres the calling window over its parent, or over the screen.",
          {{"desktop", "boolean", "optional", "true: over the primary monitor"}}, "None.",
          {{"-2", "desktop is not a boolean"}, kNoWindow}, "app.centerWindow(true);"),
      Doc("app.fileDialog", kDlg, "", "The open or save dialog.",
          {{"mode", "string", "required", "\"open\" or \"save\""}, {"title", "string", "optional", ""},
           {"initDir", "string", "optional", "the folder shown first"}, {"initFile", "string", "optional", "the file name proposed"},
           {"multiSelect", "boolean", "optional", "true lets the user pick several files"},
           {"filter", "array of strings", "optional", "description and pattern pairs; one element may hold \"Text|*.txt\""}},
          "An array of full paths; empty when the user cancels.",
          {{"-1", "arg is not an object"}, {"-2", "mode missing or not a string"}, {"-3", "mode is neither \"open\" nor \"save\""},
           {"-111", "a filter element is not a string"},
           {"-4", "a chosen file's name has no text form (e.g. CP932 bytes on a Windows medium): \"method error : the file name "
                  "cannot be represented as text: …\""}},
          "app.fileDialog({mode: 'save', initFile: 'survey.csv', filter: ['CSV', '*.csv']},\n  paths => paths.length && save(paths[0]), e => console.error(e.msg));"),
      Doc("app.browseForFolder", kDlg, "", "The folder chooser.", {{"title", "string", "optional", ""}},
          "The chosen folder's path, or null when cancelled.",
          {{"-1", "arg is not an object"}, {"-3", "the chosen folder's name has no text form (\"method error : the file name cannot be "
                                                  "represented as text: …\")"}},
          "app.browseForFolder({title: 'Export to'}, folder => folder && exportTo(folder));"),
      Doc("app.showContextMenu", kDlg, "", "A popup menu; the answer is the picked item's id.",
          {{"menu", "array of items", "required", "{} a separator; {name, id, disable, check} an item; {name, menu} a submenu"},
           {"pos", "object {x, y}", "optional", "page pixels; without it the mouse position"},
           {"rc", "object {left, top, right, bottom}", "optional", "a rectangle the menu keeps clear of"},
           {"alignH", "string", "optional", "\"left\", \"center\" or \"right\""}, {"alignV", "string", "optional", "\"top\", \"center\" or \"bottom\""}},
          "The picked id, or 0 when the menu was dismissed.",
          {{"-1", "menu missing, an item not an object, or an item without id or menu"}, {"-2", "a member of the wrong type"}},
          "app.showContextMenu({menu: [{name: 'Survey', id: 1}, {}, {name: 'Remove', id: 2, disable: true}]},\n  id => id === 1 && survey());"),
      Doc("app.msgbox", kDlg, "", "A modal message box.",
          {{"msg", "string", "optional", ""}, {"title", "string", "optional", ""},
           {"btn", "integer", "optional", "0 OK, 1 OK and Cancel, 2 Yes and No"},
           {"icon", "integer", "optional", "0 none, 1 warning, 2 information, 3 question, 4 error"}},
          "The pressed button: 1 OK, 2 Cancel, 3 Yes, 4 No, 0 otherwise.",
          {{"-2", "arg not an object, or a member of the wrong type"}, {"0", "btn or icon out of range: msg \"btn\" or \"icon\""},
           {"-1", "no main window (\"method error\")"}},
          "app.msgbox({title: 'Write', msg: 'Write the settings?', btn: 2, icon: 3}, b => b === 3 && write());"),
  };
}

}  // namespace detail
}  // namespace linkmeter::apidoc
