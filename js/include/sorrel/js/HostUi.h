#pragma once
// What the window, dialog and menu functions need from the program's user
// interface, independent of the toolkit. The program installs its
// implementation at start-up; until then (and in hosts without windows)
// there is no calling window and no main window.
//
// Call and Post carry work to the UI thread. Everything else is used on the
// UI thread only, inside such work.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lm/Json.h"
#include "sorrel/cef/Engine.h"

namespace Sorrel::Js {

// The window a window function acts on.
class HostWindow {
 public:
  virtual ~HostWindow() = default;
  // The client area's size; an absent side keeps its current size.
  virtual void SetClientSize(std::optional<int32_t> width, std::optional<int32_t> height) = 0;
  // The outer frame's top-left corner on the screen; absent keeps it.
  virtual void SetPosition(std::optional<int32_t> x, std::optional<int32_t> y) = 0;
  virtual void MoveBy(int32_t dx, int32_t dy) = 0;
  virtual void SetTitle(const std::string& title) = 0;
  // Over the desktop, or else over its parent (the screen's work area
  // without one).
  virtual void Center(bool overDesktop) = 0;
  // Asks the window to close, later.
  virtual void PostClose() = 0;
};

struct FileDialogRequest {
  bool save = false;
  bool multiSelect = false;
  // initDir, and initFile unless it is a bare name proposed for saving, are
  // file-system names (GLib's file-name encoding); the rest is UTF-8 text.
  std::string title, initDir, initFile;
  // Pairs of description and patterns ("*.csv;*.txt"); empty: no filter.
  std::vector<std::pair<std::string, std::string>> filters;
};

struct MenuItem {
  enum class Kind { kSeparator, kCommand, kSubmenu };
  Kind kind = Kind::kSeparator;
  std::string name;
  uint32_t id = 0;
  bool disabled = false;
  bool checked = false;
  std::vector<MenuItem> items;  // a submenu's items
};

struct MenuPlacement {
  enum class H { kLeft, kCenter, kRight };
  enum class V { kTop, kCenter, kBottom };
  std::optional<std::pair<int32_t, int32_t>> point;  // device pixels in the view; absent: the pointer
  struct Rect {
    int32_t left, top, right, bottom;
  };
  std::optional<Rect> exclude;  // device pixels
  H h = H::kLeft;
  V v = V::kTop;
};

struct MessageBoxRequest {
  std::string title, text;
  int32_t buttons = 0;  // 0 OK, 1 OK/Cancel, 2 Yes/No
  int32_t icon = 0;     // 0 none, 1 warning, 2 information, 3 question, 4 error
};

class HostUi {
 public:
  virtual ~HostUi() = default;

  // Runs `work` on the UI thread and waits for it; false when the UI is gone
  // and the work did not run.
  virtual bool Call(const std::function<void()>& work) = 0;
  // Runs `work` on the UI thread later; false when it never will.
  virtual bool Post(std::function<void()> work) = 0;

  // The window of the browser that asked, or null.
  virtual HostWindow* CallingWindow(const cef::BrowserPtr& browser) = 0;
  virtual bool HasMainWindow() = 0;
  // Closes the main window later: forced, or through its normal close path.
  virtual void PostExit(bool force) = 0;
  // Whether the browser belongs to a client of the program, which keeps the
  // value the page closes its window with.
  virtual bool HasClient(const cef::BrowserPtr& browser) = 0;
  virtual void SetClosingValue(const cef::BrowserPtr& browser, const lm::json::Value& value) = 0;

  // Dialogs and the menu, modal for the main window. `done` gets the answer
  // on the UI thread, once. Chosen files and folders are file-system names,
  // as the file system has them; the functions turn them into text.
  virtual void ShowFileDialog(const FileDialogRequest& request, std::function<void(std::vector<std::string>)> done) = 0;
  // The chosen folder, or nullopt when cancelled.
  virtual std::optional<std::string> ChooseFolder(const std::string& title, const std::string& initDir) = 0;
  // Device pixels per page pixel of the browser's monitor.
  virtual double Scale(const cef::BrowserPtr& browser) = 0;
  // Focuses the browser's view.
  virtual void Focus(const cef::BrowserPtr& browser) = 0;
  // `done` gets the chosen id, or 0 when dismissed.
  virtual void PopupMenu(const cef::BrowserPtr& browser, const std::vector<MenuItem>& menu,
                         const MenuPlacement& placement, std::function<void(uint32_t)> done) = 0;
  // The desktop's chooser of applications for the file; the chosen one
  // opens it.
  virtual void ChooseApplication(const std::string& path) = 0;
  // The pressed button: 1 OK, 2 Cancel, 3 Yes, 4 No, 0 anything else.
  virtual int32_t MessageBox(const MessageBoxRequest& request) = 0;
};

// The installed user interface; one without windows when none is.
std::shared_ptr<HostUi> CurrentUi();
void InstallUi(std::shared_ptr<HostUi> ui);

}  // namespace Sorrel::Js
