// The dialogs, the popup menu and the message box of GtkHostUi.
#include <algorithm>
#include <memory>
#include <utility>

#include "sorrel/js/gtk/GtkHostUi.h"

namespace Sorrel::Js::gtk {

namespace {

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t at; (at = text.find(sep, start)) != std::string::npos; start = at + 1)
    parts.push_back(text.substr(start, at - start));
  parts.push_back(text.substr(start));
  return parts;
}

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t");
  const size_t b = s.find_last_not_of(" \t");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

void AddFilters(GtkFileChooser* chooser, const FileDialogRequest& request) {
  for (const auto& [description, patterns] : request.filters) {
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, description.c_str());
    for (const auto& p : Split(patterns, ';'))
      if (!Trim(p).empty()) gtk_file_filter_add_pattern(filter, Trim(p).c_str());
    gtk_file_chooser_add_filter(chooser, filter);
  }
}

void SetInitialFile(GtkFileChooser* chooser, const FileDialogRequest& request) {
  if (request.initFile.empty()) return;
  if (request.initFile.find('/') != std::string::npos) {
    gtk_file_chooser_set_filename(chooser, request.initFile.c_str());
  } else if (request.save) {
    gtk_file_chooser_set_current_name(chooser, request.initFile.c_str());
  } else if (!request.initDir.empty()) {
    gtk_file_chooser_set_filename(chooser, (request.initDir + "/" + request.initFile).c_str());
  }
}

std::vector<std::string> ChosenPaths(GtkFileChooser* chooser) {
  std::vector<std::string> paths;
  GSList* files = gtk_file_chooser_get_filenames(chooser);
  for (GSList* f = files; f; f = f->next) {
    paths.emplace_back(static_cast<char*>(f->data));
    g_free(f->data);
  }
  g_slist_free(files);
  return paths;
}

GdkGravity GravityOf(const MenuPlacement& p) {
  static const GdkGravity table[3][3] = {
      {GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH, GDK_GRAVITY_NORTH_EAST},
      {GDK_GRAVITY_WEST, GDK_GRAVITY_CENTER, GDK_GRAVITY_EAST},
      {GDK_GRAVITY_SOUTH_WEST, GDK_GRAVITY_SOUTH, GDK_GRAVITY_SOUTH_EAST}};
  return table[static_cast<int>(p.v)][static_cast<int>(p.h)];
}

// What one popup menu has to answer.
struct MenuRun {
  std::function<void(uint32_t)> done;
  uint32_t chosen = 0;
  GtkWidget* menu = nullptr;
};

GtkWidget* BuildMenu(const std::vector<MenuItem>& items, const std::shared_ptr<MenuRun>& run) {
  GtkWidget* menu = gtk_menu_new();
  for (const MenuItem& item : items) {
    GtkWidget* w = nullptr;
    if (item.kind == MenuItem::Kind::kSeparator) {
      w = gtk_separator_menu_item_new();
    } else if (item.kind == MenuItem::Kind::kSubmenu) {
      w = gtk_menu_item_new_with_label(item.name.c_str());
      gtk_menu_item_set_submenu(GTK_MENU_ITEM(w), BuildMenu(item.items, run));
    } else {
      w = item.checked ? gtk_check_menu_item_new_with_label(item.name.c_str())
                       : gtk_menu_item_new_with_label(item.name.c_str());
      if (item.checked) gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(w), TRUE);
      gtk_widget_set_sensitive(w, !item.disabled);
      g_object_set_data(G_OBJECT(w), "lm-menu-id", GUINT_TO_POINTER(item.id));
      g_object_set_data(G_OBJECT(w), "lm-menu-run", run.get());
      g_signal_connect(w, "activate", G_CALLBACK(+[](GtkMenuItem* mi, gpointer) {
                         auto* r = static_cast<MenuRun*>(g_object_get_data(G_OBJECT(mi), "lm-menu-run"));
                         r->chosen = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(mi), "lm-menu-id"));
                       }),
                       nullptr);
    }
    gtk_widget_show(w);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), w);
  }
  return menu;
}

}  // namespace

void GtkHostUi::ShowFileDialog(const FileDialogRequest& request, std::function<void(std::vector<std::string>)> done) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      request.title.empty() ? nullptr : request.title.c_str(), MainWindow(),
      request.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel", GTK_RESPONSE_CANCEL,
      request.save ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_file_chooser_set_select_multiple(chooser, request.multiSelect);
  if (!request.initDir.empty()) gtk_file_chooser_set_current_folder(chooser, request.initDir.c_str());
  SetInitialFile(chooser, request);
  AddFilters(chooser, request);
  auto* answer = new std::function<void(std::vector<std::string>)>(std::move(done));
  g_signal_connect_data(dialog, "response", G_CALLBACK(+[](GtkDialog* d, gint response, gpointer p) {
                          auto* fn = static_cast<std::function<void(std::vector<std::string>)>*>(p);
                          // Taken out first: the answer goes once, however the dialog ends.
                          auto answer = std::exchange(*fn, nullptr);
                          std::vector<std::string> paths;
                          if (response == GTK_RESPONSE_ACCEPT) paths = ChosenPaths(GTK_FILE_CHOOSER(d));
                          gtk_widget_destroy(GTK_WIDGET(d));
                          if (answer) answer(paths);
                        }),
                        answer, [](gpointer p, GClosure*) {
                          auto* fn = static_cast<std::function<void(std::vector<std::string>)>*>(p);
                          if (*fn) (*fn)({});
                          delete fn;
                        },
                        GConnectFlags(0));
  gtk_widget_show(dialog);
  Shown(dialog);
}

std::optional<std::string> GtkHostUi::ChooseFolder(const std::string& title, const std::string& initDir) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(title.empty() ? nullptr : title.c_str(), MainWindow(),
                                                  GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, "_Cancel",
                                                  GTK_RESPONSE_CANCEL, "_Select", GTK_RESPONSE_ACCEPT, nullptr);
  gtk_file_chooser_set_local_only(GTK_FILE_CHOOSER(dialog), TRUE);
  if (!initDir.empty()) gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), initDir.c_str());
  Shown(dialog);
  std::optional<std::string> folder;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
      folder = name;
      g_free(name);
    }
  }
  gtk_widget_destroy(dialog);
  return folder;
}

void GtkHostUi::PopupMenu(const cef::BrowserPtr& browser, const std::vector<MenuItem>& items,
                          const MenuPlacement& placement, std::function<void(uint32_t)> done) {
  auto run = std::make_shared<MenuRun>();
  run->done = std::move(done);
  GtkWidget* menu = BuildMenu(items, run);
  run->menu = menu;
  GtkWidget* view = ViewOf(browser);
  if (view) gtk_menu_attach_to_widget(GTK_MENU(menu), view, nullptr);
  // The answer goes once the menu closed and a chosen item has run.
  g_signal_connect_data(menu, "deactivate", G_CALLBACK(+[](GtkMenuShell*, gpointer p) {
                          auto keep = *static_cast<std::shared_ptr<MenuRun>*>(p);
                          g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, +[](gpointer q) -> gboolean {
                            auto* r = static_cast<std::shared_ptr<MenuRun>*>(q);
                            if ((*r)->done) std::exchange((*r)->done, nullptr)((*r)->chosen);
                            if ((*r)->menu) gtk_widget_destroy(std::exchange((*r)->menu, nullptr));
                            return G_SOURCE_REMOVE;
                          }, new std::shared_ptr<MenuRun>(keep), [](gpointer q) {
                            delete static_cast<std::shared_ptr<MenuRun>*>(q);
                          });
                        }),
                        new std::shared_ptr<MenuRun>(run),
                        [](gpointer p, GClosure*) { delete static_cast<std::shared_ptr<MenuRun>*>(p); },
                        GConnectFlags(0));
  GdkWindow* where = view ? gtk_widget_get_window(view) : nullptr;
  const double scale = view ? gtk_widget_get_scale_factor(view) : 1;
  const GdkGravity gravity = GravityOf(placement);
  if (where && placement.exclude) {
    const auto& e = *placement.exclude;
    GdkRectangle r{static_cast<int>(e.left / scale), static_cast<int>(e.top / scale),
                   std::max(1, static_cast<int>((e.right - e.left) / scale)),
                   std::max(1, static_cast<int>((e.bottom - e.top) / scale))};
    gtk_menu_popup_at_rect(GTK_MENU(menu), where, &r, GDK_GRAVITY_SOUTH_WEST, GDK_GRAVITY_NORTH_WEST, nullptr);
  } else if (where && placement.point) {
    GdkRectangle r{static_cast<int>(placement.point->first / scale), static_cast<int>(placement.point->second / scale),
                   1, 1};
    gtk_menu_popup_at_rect(GTK_MENU(menu), where, &r, GDK_GRAVITY_NORTH_WEST, gravity, nullptr);
  } else if (where) {
    // At the pointer, as it stands over the view now.
    GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(gtk_widget_get_display(view)));
    int x = 0, y = 0;
    if (pointer) gdk_window_get_device_position(where, pointer, &x, &y, nullptr);
    GdkRectangle r{x, y, 1, 1};
    gtk_menu_popup_at_rect(GTK_MENU(menu), where, &r, GDK_GRAVITY_NORTH_WEST, gravity, nullptr);
  } else {
    gtk_menu_popup_at_pointer(GTK_MENU(menu), nullptr);
  }
  Shown(menu);
}

void GtkHostUi::ChooseApplication(const std::string& path) {
  GFile* file = g_file_new_for_path(path.c_str());
  GtkWidget* dialog = gtk_app_chooser_dialog_new(MainWindow(), GTK_DIALOG_MODAL, file);
  g_signal_connect_data(dialog, "response", G_CALLBACK(+[](GtkDialog* d, gint response, gpointer f) {
                          if (response == GTK_RESPONSE_OK) {
                            if (GAppInfo* app = gtk_app_chooser_get_app_info(GTK_APP_CHOOSER(d))) {
                              GList* files = g_list_append(nullptr, f);
                              g_app_info_launch(app, files, nullptr, nullptr);
                              g_list_free(files);
                              g_object_unref(app);
                            }
                          }
                          gtk_widget_destroy(GTK_WIDGET(d));
                        }),
                        file, [](gpointer f, GClosure*) { g_object_unref(f); }, GConnectFlags(0));
  gtk_widget_show(dialog);
  Shown(dialog);
}

int32_t GtkHostUi::MessageBox(const MessageBoxRequest& request) {
  static const GtkMessageType kinds[] = {GTK_MESSAGE_OTHER, GTK_MESSAGE_WARNING, GTK_MESSAGE_INFO,
                                         GTK_MESSAGE_QUESTION, GTK_MESSAGE_ERROR};
  static const GtkButtonsType buttons[] = {GTK_BUTTONS_OK, GTK_BUTTONS_OK_CANCEL, GTK_BUTTONS_YES_NO};
  // Escape and the close button answer as the box's Cancel, or its OK when
  // OK is all it has; a Yes/No box has no way out but its buttons.
  static const gint kDismissed[] = {GTK_RESPONSE_OK, GTK_RESPONSE_CANCEL, GTK_RESPONSE_NONE};
  const gint dismissed = kDismissed[request.buttons];
  GtkWidget* dialog = gtk_message_dialog_new(MainWindow(), GTK_DIALOG_MODAL, kinds[request.icon],
                                             buttons[request.buttons], "%s", request.text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), request.title.c_str());
  gtk_window_set_deletable(GTK_WINDOW(dialog), dismissed != GTK_RESPONSE_NONE);
  // Escape comes as a DELETE_EVENT response, the close button as a delete
  // event (which gtk_dialog_run would end with NONE).
  g_signal_connect(dialog, "delete-event", G_CALLBACK(+[](GtkWidget* d, GdkEvent*, gpointer answer) -> gboolean {
                     if (GPOINTER_TO_INT(answer) != GTK_RESPONSE_NONE)
                       gtk_dialog_response(GTK_DIALOG(d), GPOINTER_TO_INT(answer));
                     return TRUE;
                   }),
                   GINT_TO_POINTER(dismissed));
  g_signal_connect(dialog, "response", G_CALLBACK(+[](GtkDialog* d, gint response, gpointer answer) {
                     if (response == GTK_RESPONSE_DELETE_EVENT && GPOINTER_TO_INT(answer) == GTK_RESPONSE_NONE)
                       g_signal_stop_emission_by_name(d, "response");
                   }),
                   GINT_TO_POINTER(dismissed));
  Shown(dialog);
  gint response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  // NONE: the program ending cancelled every open dialog.
  if (response == GTK_RESPONSE_DELETE_EVENT || response == GTK_RESPONSE_NONE) response = dismissed;
  switch (response) {
    case GTK_RESPONSE_OK: return 1;
    case GTK_RESPONSE_CANCEL: return 2;
    case GTK_RESPONSE_YES: return 3;
    case GTK_RESPONSE_NO: return 4;
    default: return 0;
  }
}

}  // namespace Sorrel::Js::gtk
