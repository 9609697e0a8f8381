#include "linkmeter/shell/ShellApp.h"

#include <chrono>
#include <thread>

#include "lm/ThreadRole.h"
#include "sorrel/cef/QueryTaskGroup.h"

namespace linkmeter::shell {

std::filesystem::path ProductExtensionDir() { return Sorrel::cef::webkit::ExecutableDir() / "webext"; }

ShellApp::ShellApp(ShellConfig config, Sorrel::cef::Manager& manager, Sorrel::cef::QueryTaskGroup& tasks,
                   Sorrel::cef::CallbackTable& callbacks)
    : config_(std::move(config)), manager_(manager), tasks_(tasks), callbacks_(callbacks) {}

ShellApp::~ShellApp() {
  Shutdown();
  if (loop_) g_main_loop_unref(loop_);
}

bool ShellApp::Start(int& argc, char**& argv, std::string& error) {
  if (!gtk_init_check(&argc, &argv)) {
    error = "cannot open display: set DISPLAY, or run under xvfb-run";
    return false;
  }
  Sorrel::cef::webkit::EngineOptions options;
  options.extensionDir = config_.extensionDir;
  options.resourceFolder = config_.resourceFolder;
  options.console = config_.console;
  options.mainLoop = config_.mainLoop;
  engine_ = std::make_unique<Sorrel::cef::webkit::WebEngine>(options);
  client_ = std::make_unique<MyClient>(*engine_, manager_, tasks_, callbacks_);

  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window_), config_.title.c_str());
  gtk_window_set_default_size(GTK_WINDOW(window_), 1024, 768);
  g_signal_connect(window_, "destroy", G_CALLBACK(OnWindowDestroyed), this);
  gtk_container_add(GTK_CONTAINER(window_), client_->CreateBrowser(config_.url));
  gtk_widget_show_all(window_);
  loop_ = g_main_loop_new(nullptr, FALSE);
  return true;
}

int ShellApp::Run() {
  if (loop_) {
    lm::thread_role::WindowThreadScope windowThread;  // device work must stay off the loop
    g_main_loop_run(loop_);
  }
  Shutdown();
  return exitCode_;
}

void ShellApp::Quit(int code) {
  exitCode_ = code;
  if (loop_) g_main_loop_quit(loop_);
}

void ShellApp::OnWindowDestroyed(GtkWidget*, gpointer self) {
  auto* app = static_cast<ShellApp*>(self);
  app->window_ = nullptr;
  if (app->loop_) g_main_loop_quit(app->loop_);
}

void ShellApp::Shutdown() {
  if (window_) {
    g_signal_handlers_disconnect_by_data(window_, this);
    gtk_widget_destroy(window_);
    window_ = nullptr;
  }
  if (client_) client_->CloseAll();
  // Browsers may still be closing: wait up to a second for them.
  for (int i = 0; i < 10 && manager_.BrowserCount() > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  client_.reset();
  tasks_.CancelAndWait();
  engine_.reset();
}

}  // namespace linkmeter::shell
