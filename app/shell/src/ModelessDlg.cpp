#include "linkmeter/shell/ModelessDlg.h"

namespace linkmeter::shell {

ModelessDlg::ModelessDlg(const Sorrel::cef::webkit::WebEngine& engine, Sorrel::cef::Manager& manager,
                         Sorrel::cef::QueryTaskGroup& tasks, Sorrel::cef::CallbackTable& callbacks, Profile& profile,
                         std::string section)
    : engine_(engine),
      manager_(manager),
      tasks_(tasks),
      callbacks_(callbacks),
      profile_(profile),
      section_(std::move(section)) {}

ModelessDlg::~ModelessDlg() {
  if (!window_) return;
  SavePlace();
  g_signal_handlers_disconnect_by_data(window_, this);
  client_->CloseAll();
  gtk_widget_destroy(window_);
  g_object_unref(window_);
}

void ModelessDlg::Show(const std::string& title, const std::string& url) {
  if (!window_) {
    window_ = GTK_WIDGET(g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL)));
    gtk_window_set_title(GTK_WINDOW(window_), title.c_str());
    auto left = profile_.GetInt(section_, "left"), top = profile_.GetInt(section_, "top");
    auto right = profile_.GetInt(section_, "right"), bottom = profile_.GetInt(section_, "bottom");
    if (left && top && right && bottom && *right > *left && *bottom > *top) {
      gtk_window_set_default_size(GTK_WINDOW(window_), *right - *left, *bottom - *top);
      gtk_window_move(GTK_WINDOW(window_), *left, *top);
    } else {
      gtk_window_set_default_size(GTK_WINDOW(window_), 800, 600);
      gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
    }
    client_ = std::make_unique<MyClient>(engine_, manager_, tasks_, callbacks_);
    // The browser fills the client area and follows its size.
    gtk_container_add(GTK_CONTAINER(window_), client_->CreateBrowser(url));
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
    g_signal_connect(window_, "configure-event", G_CALLBACK(OnConfigure), this);
  }
  gtk_widget_show_all(window_);
  gtk_window_deiconify(GTK_WINDOW(window_));
  gtk_window_present(GTK_WINDOW(window_));
}

void ModelessDlg::SavePlace() {
  if (!placed_) return;
  profile_.SetInt(section_, "left", x_);
  profile_.SetInt(section_, "top", y_);
  profile_.SetInt(section_, "right", x_ + width_);
  profile_.SetInt(section_, "bottom", y_ + height_);
}

gboolean ModelessDlg::OnDelete(GtkWidget* window, GdkEvent*, gpointer self) {
  static_cast<ModelessDlg*>(self)->SavePlace();
  gtk_widget_hide(window);
  return TRUE;
}

gboolean ModelessDlg::OnConfigure(GtkWidget* window, GdkEventConfigure*, gpointer self) {
  auto* dlg = static_cast<ModelessDlg*>(self);
  gtk_window_get_position(GTK_WINDOW(window), &dlg->x_, &dlg->y_);
  gtk_window_get_size(GTK_WINDOW(window), &dlg->width_, &dlg->height_);
  dlg->placed_ = true;
  return FALSE;
}

}  // namespace linkmeter::shell
