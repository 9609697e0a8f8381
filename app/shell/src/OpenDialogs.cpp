#include "linkmeter/shell/OpenDialogs.h"

#include <gtk/gtk.h>

namespace linkmeter::shell {

int CancelOpenDialogs() {
  int ended = 0;
  GList* windows = gtk_window_list_toplevels();
  // The list holds no references: a response may destroy later windows.
  for (GList* l = windows; l; l = l->next) g_object_ref(l->data);
  for (GList* l = windows; l; l = l->next) {
    GtkWidget* window = GTK_WIDGET(l->data);
    if (!gtk_widget_get_visible(window)) continue;
    GtkWidget* child = GTK_IS_BIN(window) ? gtk_bin_get_child(GTK_BIN(window)) : nullptr;
    if (GTK_IS_DIALOG(window)) {
      gtk_dialog_response(GTK_DIALOG(window), GTK_RESPONSE_NONE);
      ++ended;
    } else if (child && GTK_IS_MENU(child)) {
      gtk_menu_shell_cancel(GTK_MENU_SHELL(child));
      ++ended;
    }
  }
  g_list_free_full(windows, g_object_unref);
  return ended;
}

}  // namespace linkmeter::shell
