// The real program under Xvfb with the generated documentation package:
// Ctrl+Shift+H opens it, and it lists every function the program registers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "ProgramTestMain.h"
#include "linkmeter/shell/LinkmeterApp.h"
#include "linkmeter/shell/ProcessObjects.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/webkit/WebEngine.h"

using namespace linkmeter::shell;
namespace fs = std::filesystem;

namespace {

// The page's answer to a script, as text; empty until it arrives.
struct Answer {
  bool asked = false;
  bool ready = false;
  std::string text;
  void Ask(WebKitWebView* view, const char* script) {
    asked = true;
    webkit_web_view_evaluate_javascript(
        view, script, -1, nullptr, nullptr, nullptr,
        [](GObject* v, GAsyncResult* r, gpointer self) {
          auto* a = static_cast<Answer*>(self);
          JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(v), r, nullptr);
          if (value) {
            gchar* s = jsc_value_to_string(value);
            a->text = s ? s : "";
            g_free(s);
            g_object_unref(value);
          }
          a->ready = true;
        },
        this);
  }
};

GtkWindow* DocWindow() {
  GtkWindow* found = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* l = windows; l; l = l->next) {
    const char* title = gtk_window_get_title(GTK_WINDOW(l->data));
    if (title && std::string(title) == "API ドキュメント" && gtk_widget_get_visible(GTK_WIDGET(l->data)))
      found = GTK_WINDOW(l->data);
  }
  g_list_free(windows);
  return found;
}

// One check after another on the main loop: load, key, window, names, filter.
struct DocChecks {
  LinkmeterApp* app = nullptr;
  int stage = 0;
  int ticks = 0;
  Answer names, filtered;
  std::string stuck;

  static gboolean Tick(gpointer p) {
    auto* run = static_cast<DocChecks*>(p);
    if (run->Step()) return G_SOURCE_CONTINUE;
    gtk_window_close(GTK_WINDOW(run->app->Frame()->Window()));
    return G_SOURCE_REMOVE;
  }
  WebKitWebView* Doc() const {
    GtkWindow* w = DocWindow();
    return w ? WEBKIT_WEB_VIEW(gtk_bin_get_child(GTK_BIN(w))) : nullptr;
  }
  // False when done or stuck.
  bool Step() {
    if (++ticks > 3000) {
      stuck = "stage " + std::to_string(stage);
      return false;
    }
    WebKitWebView* main = app->Client()->MainView();
    switch (stage) {
      case 0:
        if (main && !webkit_web_view_is_loading(main) && webkit_web_view_get_uri(main)) {
          linkmeter::testing::PressApiDocKey(main);
          stage = 1;
        }
        return true;
      case 1:
        if (Doc() && !webkit_web_view_is_loading(Doc()) && webkit_web_view_get_title(Doc())) {
          names.Ask(Doc(), "Array.from(document.querySelectorAll('section.fn'), s => s.dataset.name).join('\\n')");
          stage = 2;
        }
        return true;
      case 2:
        if (!names.ready) return true;
        filtered.Ask(Doc(),
                     "(() => { const f = document.getElementById('filter'); f.value = 'tcmdEWLEX';"
                     "f.dispatchEvent(new Event('input'));"
                     "return Array.from(document.querySelectorAll('section.fn'), s => s.hidden ? '' : s.dataset.name).join(''); })()");
        stage = 3;
        return true;
      default:
        return !filtered.ready;
    }
  }
};

}  // namespace

TEST(ApiDocWindow, TheKeyOpensTheGeneratedDocumentsListingEveryPageFunction) {
  const fs::path exe = Sorrel::cef::webkit::ExecutableDir();
  ASSERT_TRUE(fs::exists(exe / "res" / "ApiDoc.appres")) << "build lm_apidoc_package first";
  ProgramConfig config = linkmeter::testing::SelfTestConfig("apidoc");
  DocChecks run;
  config.onStarted = [&] { g_timeout_add(20, DocChecks::Tick, &run); };
  LinkmeterApp app(config, linkmeter::shell::ProcessObjectsOnce());
  run.app = &app;
  int argc = 0;
  char** argv = nullptr;
  EXPECT_EQ(app.Run(argc, argv), 0);
  ASSERT_TRUE(run.stuck.empty()) << run.stuck;

  std::set<std::string> shown;
  std::istringstream lines(run.names.text);
  for (std::string line; std::getline(lines, line);) shown.insert(line);
  std::set<std::string> registered;
  auto& manager = linkmeter::shell::ProcessObjectsOnce().manager;
  for (const auto& native : manager.NativeHandlers()) registered.insert(native->ScriptName());
  for (const auto& [query, handler] : manager.Factory()) {
    if (!handler->Script().empty()) registered.insert(handler->ScriptName());
  }
  EXPECT_EQ(shown, registered);
  EXPECT_EQ(run.filtered.text, "app.com.tcmdEWLEX");
}
