#pragma once
// The engine start of the browser process: one web context with the page
// extension, the "app" scheme and the engine settings, and the web views
// created from it. Main thread only.

#include <webkit2/webkit2.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "sorrel/cef/ResSchemeHandlerFactory.h"
#include "sorrel/cef/webkit/LoopPoster.h"

namespace Sorrel::cef::webkit {

// When the page process starts to give memory back. Its engine keeps caches
// and collected heap until told to release them; a long repeat survey
// otherwise grows it by tens of MB an hour. Fractions are of `limitMb`.
struct PageMemory {
  unsigned limitMb = 0;         // 0: the engine's defaults, nothing below
  double releaseCaches = 0.33;  // above this, caches are dropped on each check
  double releaseAll = 0.5;      // above this, everything that can be rebuilt too
  double checkSeconds = 30;
};

struct EngineOptions {
  std::filesystem::path extensionDir;    // holds the page-process extension module
  std::filesystem::path resourceFolder;  // res/ with the page packages
  bool console = false;                  // page console messages to standard error
  std::filesystem::path cacheDir;        // site data and cache; empty: nothing kept
  bool automation = false;               // WebDriver may drive the views
  bool developerExtras = true;           // the inspector can be opened
  std::map<std::string, bool> extensionFlags;  // more booleans for the extension's initialisation data
  std::map<uint32_t, std::string> strings;     // the program's string table, as "strings" (a{us}) there
  PageMemory pageMemory;
  std::shared_ptr<LoopPoster> mainLoop;  // the process's poster of the default context (required)
};

class WebEngine {
 public:
  explicit WebEngine(const EngineOptions& options);
  ~WebEngine();
  WebEngine(const WebEngine&) = delete;
  WebEngine& operator=(const WebEngine&) = delete;

  WebKitWebContext* Context() const { return context_; }
  const ResSchemeHandlerFactory& Resources() const { return *resources_; }
  // Where work for the main thread goes.
  const std::shared_ptr<LoopPoster>& MainLoop() const { return mainLoop_; }

  // A new view with its own page process (a floating reference).
  GtkWidget* CreateView() const;
  // A view sharing the page process of `related` (popups).
  GtkWidget* CreateRelatedView(WebKitWebView* related) const;

 private:
  void ApplySettings(WebKitWebView* view) const;
  GtkWidget* NewView(WebKitWebView* related) const;

  WebKitWebContext* context_;
  bool automation_;
  bool developerExtras_;
  std::shared_ptr<LoopPoster> mainLoop_;
  std::shared_ptr<const ResSchemeHandlerFactory> resources_;
};

// The folder of the running executable.
std::filesystem::path ExecutableDir();

}  // namespace Sorrel::cef::webkit
