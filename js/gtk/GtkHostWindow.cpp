#include "GtkHostWindow.h"

#include <algorithm>

namespace Sorrel::Js::gtk {

namespace {

GdkRectangle FrameOf(GtkWindow* window) {
  GdkRectangle r{0, 0, 0, 0};
  GdkWindow* gdk = gtk_widget_get_window(GTK_WIDGET(window));
  if (gdk) {
    gdk_window_get_frame_extents(gdk, &r);
  } else {
    gtk_window_get_position(window, &r.x, &r.y);
    gtk_window_get_size(window, &r.width, &r.height);
  }
  return r;
}

GdkRectangle WorkAreaOf(GtkWindow* window, bool wholeMonitor) {
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
  GdkWindow* gdk = gtk_widget_get_window(GTK_WIDGET(window));
  GdkMonitor* monitor = wholeMonitor || !gdk ? gdk_display_get_primary_monitor(display)
                                             : gdk_display_get_monitor_at_window(display, gdk);
  if (!monitor) monitor = gdk_display_get_monitor(display, 0);
  GdkRectangle r{0, 0, 0, 0};
  if (!monitor) return r;
  if (wholeMonitor) gdk_monitor_get_geometry(monitor, &r);
  else gdk_monitor_get_workarea(monitor, &r);
  return r;
}

}  // namespace

void GtkHostWindow::SetClientSize(std::optional<int32_t> width, std::optional<int32_t> height) {
  int w = 0, h = 0;
  gtk_window_get_size(window_, &w, &h);
  gtk_window_resize(window_, std::max(1, width.value_or(w)), std::max(1, height.value_or(h)));
}

void GtkHostWindow::SetPosition(std::optional<int32_t> x, std::optional<int32_t> y) {
  int cx = 0, cy = 0;
  gtk_window_get_position(window_, &cx, &cy);
  gtk_window_move(window_, x.value_or(cx), y.value_or(cy));
}

void GtkHostWindow::MoveBy(int32_t dx, int32_t dy) {
  int x = 0, y = 0;
  gtk_window_get_position(window_, &x, &y);
  gtk_window_move(window_, x + dx, y + dy);
}

void GtkHostWindow::SetTitle(const std::string& title) { gtk_window_set_title(window_, title.c_str()); }

void GtkHostWindow::Center(bool overDesktop) {
  const GdkRectangle frame = FrameOf(window_);
  GtkWindow* parent = overDesktop ? nullptr : gtk_window_get_transient_for(window_);
  const GdkRectangle area = parent ? FrameOf(parent) : WorkAreaOf(window_, overDesktop);
  gtk_window_move(window_, area.x + (area.width - frame.width) / 2, area.y + (area.height - frame.height) / 2);
}

void GtkHostWindow::PostClose() {
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer w) -> gboolean {
        gtk_window_close(GTK_WINDOW(w));
        return G_SOURCE_REMOVE;
      },
      g_object_ref(window_), g_object_unref);
}

}  // namespace Sorrel::Js::gtk
