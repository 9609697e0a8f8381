#include "linkmeter/shell/MessageDialogs.h"

#include <gtk/gtk.h>

#include <cstdio>

namespace linkmeter::shell {

std::string StartupErrorText(const std::string& title, const std::string& versionText, const std::string& detail) {
  return title + " Ver." + versionText + "\n" + detail + "\n" + std::string(40, ' ');
}

namespace {

int RunMessage(GtkWindow* parent, GtkMessageType type, GtkButtonsType buttons, const std::string& title,
               const std::string& text) {
  GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, type, buttons, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
  int response = gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  return response;
}

}  // namespace

void ShowStartupError(const std::string& title, const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  RunMessage(nullptr, GTK_MESSAGE_WARNING, GTK_BUTTONS_OK, title, text);
}

bool AskDebugQuestion(GtkWindow* parent, const std::string& text) {
  return RunMessage(parent, GTK_MESSAGE_WARNING, GTK_BUTTONS_YES_NO, "デバッグ情報", text) == GTK_RESPONSE_YES;
}

void ShowNotice(GtkWindow* parent, const std::string& title, const std::string& text) {
  RunMessage(parent, GTK_MESSAGE_INFO, GTK_BUTTONS_OK, title, text);
}

}  // namespace linkmeter::shell
