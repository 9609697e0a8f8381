#include "ProgramTestMain.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "linkmeter/Registration.h"
#include "linkmeter/shell/ProcessObjects.h"
#include "sorrel/cef/webkit/WebEngine.h"

namespace fs = std::filesystem;

namespace {

fs::path g_root;

}  // namespace

namespace linkmeter::testing {

const fs::path& ProgramTestRoot() { return g_root; }

shell::ProgramConfig SelfTestConfig(const std::string& name) {
  const fs::path exe = Sorrel::cef::webkit::ExecutableDir();
  shell::ProgramConfig config;
  config.url = "app://res/selftest/blank.html";
  config.extensionDir = exe / "webext-selftest";
  config.resourceFolder = exe / "res";
  config.exeDir = g_root / name;
  config.replacementTable = g_root / name / "linkmeter.strings";
  config.singleInstance = false;
  fs::create_directories(config.exeDir);
  return config;
}

void PressApiDocKey(WebKitWebView* view) {
  GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
  event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(view))));
  event->key.keyval = GDK_KEY_H;
  event->key.state = GDK_CONTROL_MASK | GDK_SHIFT_MASK;
  event->key.send_event = TRUE;
  gtk_widget_event(GTK_WIDGET(view), event);
  gdk_event_free(event);
}

}  // namespace linkmeter::testing

int main(int argc, char** argv) {
  const linkmeter::shell::ProcessObjects process = linkmeter::shell::ProcessObjectsOnce();
  ::testing::InitGoogleTest(&argc, argv);
  char tmpl[] = "/tmp/lm-program-XXXXXX";
  g_root = mkdtemp(tmpl);
  for (const char* dir : {"home", "config", "runtime"}) fs::create_directories(g_root / dir);
  fs::permissions(g_root / "runtime", fs::perms::owner_all);
  setenv("HOME", (g_root / "home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (g_root / "config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (g_root / "runtime").c_str(), 1);
  unsetenv("XDG_DOCUMENTS_DIR");
  linkmeter::RegisterPageFunctions(process.manager, process.devices);
  const int rc = RUN_ALL_TESTS();
  std::error_code ec;
  fs::remove_all(g_root, ec);
  return rc;
}
