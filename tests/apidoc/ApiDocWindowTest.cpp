// The real program under Xvfb with the generated documentation package:
// Ctrl+Shift+H opens it, and it lists every function the program registers.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "linkmeter/Registration.h"
#include "linkmeter/shell/LinkmeterApp.h"
#include "sorrel/cef/QueryTaskGroup.h"
#include "sorrel/com/ComServices.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/webkit/WebEngine.h"
#include "vcomm/Library.h"

using namespace linkmeter::shell;
namespace fs = std::filesystem;

namespace {

// The test process's objects, made once as the program's main makes them.
linkmeter::shell::ProcessObjects TestProcess() {
  static Sorrel::cef::Manager manager;
  static Sorrel::cef::QueryTaskGroup tasks;
  static auto* devices = new Sorrel::Com::ComServices();
  static Sorrel::cef::CallbackTable callbacks;
  static auto mainLoop = std::make_shared<Sorrel::cef::webkit::LoopPoster>(g_main_context_default());
  return {manager, tasks, *devices, callbacks, mainLoop};
}

fs::path g_root;

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

void PressCtrlShiftH(WebKitWebView* view) {
  GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
  event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(view))));
  event->key.keyval = GDK_KEY_H;
  event->key.state = GDK_CONTROL_MASK | GDK_SHIFT_MASK;
  event->key.send_event = TRUE;
  gtk_widget_event(GTK_WIDGET(view), event);
  gdk_event_free(event);
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
          PressCtrlShiftH(main);
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
  ProgramConfig config;
  config.url = "app://res/selftest/blank.html";
  config.extensionDir = exe / "webext-selftest";
  config.resourceFolder = exe / "res";
  config.exeDir = g_root / "apidoc";
  config.replacementTable = g_root / "apidoc" / "linkmeter.strings";
  config.singleInstance = false;
  fs::create_directories(config.exeDir);
  DocChecks run;
  config.onStarted = [&] { g_timeout_add(20, DocChecks::Tick, &run); };
  LinkmeterApp app(config, TestProcess());
  run.app = &app;
  int argc = 0;
  char** argv = nullptr;
  EXPECT_EQ(app.Run(argc, argv), 0);
  ASSERT_TRUE(run.stuck.empty()) << run.stuck;

  std::set<std::string> shown;
  std::istringstream lines(run.names.text);
  for (std::string line; std::getline(lines, line);) shown.insert(line);
  std::set<std::string> registered;
  auto& manager = TestProcess().manager;
  for (const auto& native : manager.NativeHandlers()) registered.insert(native->ScriptName());
  for (const auto& [query, handler] : manager.Factory()) {
    if (!handler->Script().empty()) registered.insert(handler->ScriptName());
  }
  EXPECT_EQ(shown, registered);
  EXPECT_EQ(run.filtered.text, "app.com.tcmdEWLEX");
}

int main(int argc, char** argv) {
  vcomm::Library vcommLibrary;  // the process's device connections
  ::testing::InitGoogleTest(&argc, argv);
  char tmpl[] = "/tmp/lm-apidoc-XXXXXX";
  g_root = mkdtemp(tmpl);
  for (const char* dir : {"home", "config", "runtime"}) fs::create_directories(g_root / dir);
  fs::permissions(g_root / "runtime", fs::perms::owner_all);
  setenv("HOME", (g_root / "home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (g_root / "config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (g_root / "runtime").c_str(), 1);
  linkmeter::RegisterPageFunctions(TestProcess().manager, TestProcess().devices);
  const int rc = RUN_ALL_TESTS();
  std::error_code ec;
  fs::remove_all(g_root, ec);
  return rc;
}
