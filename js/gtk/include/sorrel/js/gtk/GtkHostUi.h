#pragma once
// The host functions' user interface over GTK: the waiting call and the
// post (the program frame's services when the Manager has them, else the
// main loop's poster it was given), the calling window of a WebKit browser,
// and the dialogs, menus and message boxes. Created on the GTK main thread.

#include <gtk/gtk.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "sorrel/cef/Manager.h"
#include "sorrel/cef/webkit/LoopPoster.h"
#include "sorrel/js/HostUi.h"

namespace Sorrel::Js::gtk {

class GtkHostWindow;

class GtkHostUi : public HostUi {
 public:
  struct Options {
    // The main window; by default the window of the first browser opened.
    std::function<GtkWindow*()> mainWindow;
    // Ends the program: by default a forced exit destroys the main window
    // and a normal one asks it to close.
    std::function<void(bool force)> exit;
  };

  // The manager knows the open browsers and the program's frame, if any;
  // without a frame, work goes to the main thread through `mainLoop`.
  GtkHostUi(cef::Manager& manager, std::shared_ptr<cef::webkit::LoopPoster> mainLoop, Options options = {});
  ~GtkHostUi() override;

  bool Call(const std::function<void()>& work) override;
  bool Post(std::function<void()> work) override;
  // Waiting calls give up and new ones are refused (the main loop ends).
  void Stop();

  HostWindow* CallingWindow(const cef::BrowserPtr& browser) override;
  bool HasMainWindow() override { return MainWindow() != nullptr; }
  void PostExit(bool force) override;
  bool HasClient(const cef::BrowserPtr& browser) override;
  void SetClosingValue(const cef::BrowserPtr& browser, const lm::json::Value& value) override;
  // The value app.closeWindow left on a view, or null.
  static lm::json::Value ClosingValue(GtkWidget* view);

  void ShowFileDialog(const FileDialogRequest& request, std::function<void(std::vector<std::string>)> done) override;
  std::optional<std::string> ChooseFolder(const std::string& title, const std::string& initDir) override;
  double Scale(const cef::BrowserPtr& browser) override;
  void Focus(const cef::BrowserPtr& browser) override;
  void PopupMenu(const cef::BrowserPtr& browser, const std::vector<MenuItem>& menu, const MenuPlacement& placement,
                 std::function<void(uint32_t)> done) override;
  void ChooseApplication(const std::string& path) override;
  int32_t MessageBox(const MessageBoxRequest& request) override;

  // Tests answer dialogs and menus through this: it gets each dialog (or
  // GtkMenu) once it is shown, on the main thread.
  void SetShownHook(std::function<void(GtkWidget*)> hook) { shownHook_ = std::move(hook); }

  GtkWindow* MainWindow();
  static GtkWidget* ViewOf(const cef::BrowserPtr& browser);

 private:
  struct Waiter;
  void Shown(GtkWidget* widget);

  // Work handed to the main thread, in order; work queued behind a task that
  // runs a nested loop (a modal dialog) still runs inside that loop.
  void RunLater(std::function<void()> fn) { mainLoop_->Post(std::move(fn)); }

  cef::Manager& manager_;
  const std::shared_ptr<cef::webkit::LoopPoster> mainLoop_;
  Options options_;
  std::thread::id uiThread_;
  std::atomic<bool> stopped_{false};
  std::unique_ptr<GtkHostWindow> window_;  // the calling window of the work running now
  GtkWindow* watched_ = nullptr;           // the main window whose end stops the services
  std::function<void(GtkWidget*)> shownHook_;
};

}  // namespace Sorrel::Js::gtk
