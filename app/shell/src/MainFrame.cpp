#include "linkmeter/shell/MainFrame.h"

#include "AppIcon.h"

namespace linkmeter::shell {
namespace {

constexpr const char* kLayoutGroup = "Workspace";
constexpr int kDefaultWidth = 400;
constexpr int kDefaultHeight = 300;

}  // namespace

MainFrame::MainFrame(GtkApplication* app, const std::string& title, Profile& profile)
    : profile_(profile), window_(app ? gtk_application_window_new(app) : gtk_window_new(GTK_WINDOW_TOPLEVEL)) {
  g_object_ref_sink(window_);
  gtk_window_set_title(GTK_WINDOW(window_), title.c_str());
  if (GdkPixbuf* icon = AppIcon()) {
    gtk_window_set_icon(GTK_WINDOW(window_), icon);
    g_object_unref(icon);
  }
  box_ = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  GtkWidget* bar = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  for (int i = 0; i < kPanes; ++i) {
    panes_[i] = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(panes_[i]), 0);
    gtk_label_set_width_chars(GTK_LABEL(panes_[i]), i == 0 ? 0 : 5);
    gtk_widget_set_margin_start(panes_[i], 4);
    gtk_widget_set_margin_end(panes_[i], 4);
    gtk_box_pack_start(GTK_BOX(bar), panes_[i], i == 0, TRUE, 0);
    if (i + 1 < kPanes) gtk_box_pack_start(GTK_BOX(bar), gtk_separator_new(GTK_ORIENTATION_VERTICAL), FALSE, FALSE, 0);
  }
  gtk_box_pack_end(GTK_BOX(box_), bar, FALSE, FALSE, 0);
  gtk_box_pack_end(GTK_BOX(box_), gtk_separator_new(GTK_ORIENTATION_HORIZONTAL), FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(window_), box_);

  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(OnDestroy), this);
  g_signal_connect(window_, "configure-event", G_CALLBACK(OnConfigure), this);
  g_signal_connect(window_, "window-state-event", G_CALLBACK(OnWindowState), this);
  keymap_ = gdk_keymap_get_for_display(gtk_widget_get_display(window_));
  if (keymap_) {
    keymapHandler_ = g_signal_connect(keymap_, "state-changed", G_CALLBACK(OnLocksChanged), this);
    OnLocksChanged(keymap_, this);
  }
  RestoreLayout();
}

MainFrame::~MainFrame() {
  if (keymapHandler_) g_signal_handler_disconnect(keymap_, keymapHandler_);
  g_signal_handlers_disconnect_by_data(window_, this);
  gtk_widget_destroy(window_);
  g_object_unref(window_);
}

void MainFrame::SetView(GtkWidget* view) {
  view_ = view;
  gtk_box_pack_start(GTK_BOX(box_), view, TRUE, TRUE, 0);
}

void MainFrame::Show() {
  gtk_widget_show_all(window_);
  if (view_) gtk_widget_grab_focus(view_);
}

void MainFrame::Present() {
  gtk_window_deiconify(GTK_WINDOW(window_));
  gtk_window_present(GTK_WINDOW(window_));
}

void MainFrame::SetPaneText(int pane, const std::string& text) {
  if (pane >= 0 && pane < kPanes) gtk_label_set_text(GTK_LABEL(panes_[pane]), text.c_str());
}

void MainFrame::Destroy() { gtk_widget_destroy(window_); }

void MainFrame::RestoreLayout() {
  auto x = profile_.GetInt(kLayoutGroup, "x"), y = profile_.GetInt(kLayoutGroup, "y");
  auto w = profile_.GetInt(kLayoutGroup, "width"), h = profile_.GetInt(kLayoutGroup, "height");
  if (x && y && w && h && *w > 0 && *h > 0) {
    gtk_window_set_default_size(GTK_WINDOW(window_), *w, *h);
    gtk_window_move(GTK_WINDOW(window_), *x, *y);
    x_ = *x, y_ = *y, width_ = *w, height_ = *h;
    placed_ = true;
    if (profile_.GetInt(kLayoutGroup, "maximized").value_or(0)) gtk_window_maximize(GTK_WINDOW(window_));
  } else {
    gtk_window_set_default_size(GTK_WINDOW(window_), kDefaultWidth, kDefaultHeight);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
  }
}

void MainFrame::SaveLayout() {
  if (!placed_) return;
  profile_.SetInt(kLayoutGroup, "x", x_);
  profile_.SetInt(kLayoutGroup, "y", y_);
  profile_.SetInt(kLayoutGroup, "width", width_);
  profile_.SetInt(kLayoutGroup, "height", height_);
  profile_.SetInt(kLayoutGroup, "maximized", maximized_ ? 1 : 0);
}

gboolean MainFrame::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
  auto* frame = static_cast<MainFrame*>(self);
  if (frame->onClose_) frame->onClose_();
  else frame->Destroy();
  return TRUE;
}

void MainFrame::OnDestroy(GtkWidget*, gpointer self) {
  auto* frame = static_cast<MainFrame*>(self);
  frame->SaveLayout();
  g_signal_handlers_disconnect_by_data(frame->window_, frame);
  if (frame->onDestroyed_) frame->onDestroyed_();
}

gboolean MainFrame::OnConfigure(GtkWidget* widget, GdkEventConfigure*, gpointer self) {
  auto* frame = static_cast<MainFrame*>(self);
  // The normal placement only: a maximised window comes back maximised over it.
  if (!frame->maximized_ && gtk_widget_get_visible(widget)) {
    gtk_window_get_position(GTK_WINDOW(widget), &frame->x_, &frame->y_);
    gtk_window_get_size(GTK_WINDOW(widget), &frame->width_, &frame->height_);
    frame->placed_ = true;
  }
  return FALSE;
}

gboolean MainFrame::OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self) {
  static_cast<MainFrame*>(self)->maximized_ = (event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
  return FALSE;
}

void MainFrame::OnLocksChanged(GdkKeymap* keymap, gpointer self) {
  auto* frame = static_cast<MainFrame*>(self);
  frame->SetPaneText(1, gdk_keymap_get_caps_lock_state(keymap) ? "CAP" : "");
  frame->SetPaneText(2, gdk_keymap_get_num_lock_state(keymap) ? "NUM" : "");
  frame->SetPaneText(3, gdk_keymap_get_scroll_lock_state(keymap) ? "SCRL" : "");
}

}  // namespace linkmeter::shell
