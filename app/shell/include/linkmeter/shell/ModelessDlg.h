#pragma once
// A window of its own (not owned by the main frame) showing one browser,
// created once and kept: closing only hides it. Its place is kept in the
// profile under left/top/right/bottom of its section. Main thread only.

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "linkmeter/shell/ClientBase.h"
#include "linkmeter/shell/Profile.h"

namespace linkmeter::shell {

class ModelessDlg {
 public:
  ModelessDlg(const Sorrel::cef::webkit::WebEngine& engine, Sorrel::cef::Manager& manager,
              Sorrel::cef::QueryTaskGroup& tasks, Sorrel::cef::CallbackTable& callbacks, Profile& profile,
              std::string section = "ModelessDlg");
  ~ModelessDlg();
  ModelessDlg(const ModelessDlg&) = delete;
  ModelessDlg& operator=(const ModelessDlg&) = delete;

  // Creates the window on first use, then shows it and brings it forward.
  void Show(const std::string& title, const std::string& url);
  bool Created() const { return window_ != nullptr; }
  GtkWidget* Window() const { return window_; }
  ClientBase* Client() const { return client_.get(); }

 private:
  static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean OnConfigure(GtkWidget*, GdkEventConfigure*, gpointer self);
  void SavePlace();

  const Sorrel::cef::webkit::WebEngine& engine_;
  Sorrel::cef::Manager& manager_;
  Sorrel::cef::QueryTaskGroup& tasks_;
  Sorrel::cef::CallbackTable& callbacks_;
  Profile& profile_;
  const std::string section_;
  std::unique_ptr<ClientBase> client_;
  GtkWidget* window_ = nullptr;
  int x_ = 0, y_ = 0, width_ = 0, height_ = 0;
  bool placed_ = false;
};

}  // namespace linkmeter::shell
