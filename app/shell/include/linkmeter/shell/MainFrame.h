#pragma once
// The program's main window: the title, icon, the browser view filling it, a
// status bar with four panes, and its place and size kept in the profile
// (400 by 300, centred, when none was saved). A close request goes to the
// close handler instead of closing; Destroy ends the window for good.
// Main thread only.

#include <gtk/gtk.h>

#include <functional>
#include <string>

#include "linkmeter/shell/Profile.h"

namespace linkmeter::shell {

class MainFrame {
 public:
  MainFrame(GtkApplication* app, const std::string& title, Profile& profile);
  ~MainFrame();
  MainFrame(const MainFrame&) = delete;
  MainFrame& operator=(const MainFrame&) = delete;

  // Puts the browser view in the client area.
  void SetView(GtkWidget* view);
  void Show();
  // Un-minimises the window and brings it forward.
  void Present();
  // Pane 0 is the message pane; 1 to 3 show caps, num and scroll lock.
  void SetPaneText(int pane, const std::string& text);

  // The window's close button and the like; the window stays until Destroy.
  void SetCloseHandler(std::function<void()> onClose) { onClose_ = std::move(onClose); }
  // Called once the window is gone (by Destroy or otherwise).
  void SetDestroyedHandler(std::function<void()> onDestroyed) { onDestroyed_ = std::move(onDestroyed); }
  // Saves the layout and destroys the window.
  void Destroy();

  GtkWidget* Window() const { return window_; }
  static constexpr int kPanes = 4;

 private:
  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
  static void OnDestroy(GtkWidget*, gpointer self);
  static gboolean OnConfigure(GtkWidget*, GdkEventConfigure*, gpointer self);
  static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self);
  static void OnLocksChanged(GdkKeymap*, gpointer self);
  void RestoreLayout();
  void SaveLayout();

  Profile& profile_;
  GtkWidget* window_;
  GtkWidget* box_;
  GtkWidget* panes_[kPanes] = {};
  GtkWidget* view_ = nullptr;
  GdkKeymap* keymap_ = nullptr;
  gulong keymapHandler_ = 0;
  int x_ = 0, y_ = 0, width_ = 0, height_ = 0;
  bool maximized_ = false;
  bool placed_ = false;  // x_/y_/width_/height_ hold a real placement
  std::function<void()> onClose_;
  std::function<void()> onDestroyed_;
};

}  // namespace linkmeter::shell
