#pragma once
// The GUI program around one main window: GTK start, the engine, the main
// window with its browser, the main loop and the shutdown order.

#include <gtk/gtk.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "linkmeter/shell/ClientBase.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/QueryTaskGroup.h"
#include "sorrel/cef/webkit/WebEngine.h"

namespace linkmeter::shell {

struct ShellConfig {
  std::string url;  // what the main browser shows
  bool console = false;
  std::filesystem::path extensionDir;
  std::filesystem::path resourceFolder;
  std::string title = "Fieldgauge(VELA)";
  std::shared_ptr<Sorrel::cef::webkit::LoopPoster> mainLoop;  // the process's main-loop poster (required)
};

class ShellApp {
 public:
  ShellApp(ShellConfig config, Sorrel::cef::Manager& manager, Sorrel::cef::QueryTaskGroup& tasks,
           Sorrel::cef::CallbackTable& callbacks);
  ~ShellApp();

  // Starts GTK, the engine and the main window; false with `error` set when
  // there is no display.
  bool Start(int& argc, char**& argv, std::string& error);
  // Runs until the main window closes or Quit; returns the exit code.
  int Run();
  void Quit(int code);

  ClientBase& Client() { return *client_; }
  Sorrel::cef::webkit::WebEngine& Engine() { return *engine_; }
  GtkWidget* Window() const { return window_; }

 private:
  static void OnWindowDestroyed(GtkWidget*, gpointer self);
  void Shutdown();

  ShellConfig config_;
  Sorrel::cef::Manager& manager_;
  Sorrel::cef::QueryTaskGroup& tasks_;
  Sorrel::cef::CallbackTable& callbacks_;
  std::unique_ptr<Sorrel::cef::webkit::WebEngine> engine_;
  std::unique_ptr<ClientBase> client_;
  GtkWidget* window_ = nullptr;
  GMainLoop* loop_ = nullptr;
  int exitCode_ = 0;
};

// The folder beside the executable that holds the program's extension module.
std::filesystem::path ProductExtensionDir();

}  // namespace linkmeter::shell
