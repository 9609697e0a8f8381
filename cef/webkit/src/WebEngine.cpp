#include "sorrel/cef/webkit/WebEngine.h"

#include <stdexcept>

#include "sorrel/cef/webkit/PdfPrinter.h"
#include "sorrel/cef/webkit/ResSchemeAdapter.h"
#include "sorrel/cef/webkit/SanitizerChildren.h"

namespace Sorrel::cef::webkit {

std::filesystem::path ExecutableDir() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::current_path() : exe.parent_path();
}

namespace {

// Memory pressure settings for the page process; null for the engine's own.
WebKitMemoryPressureSettings* NewPressureSettings(const PageMemory& memory) {
  if (memory.limitMb == 0) return nullptr;
  WebKitMemoryPressureSettings* pressure = webkit_memory_pressure_settings_new();
  webkit_memory_pressure_settings_set_memory_limit(pressure, memory.limitMb);
  webkit_memory_pressure_settings_set_conservative_threshold(pressure, memory.releaseCaches);
  webkit_memory_pressure_settings_set_strict_threshold(pressure, memory.releaseAll);
  webkit_memory_pressure_settings_set_poll_interval(pressure, memory.checkSeconds);
  return pressure;
}

WebKitWebContext* NewContext(const EngineOptions& options) {
  const auto& cacheDir = options.cacheDir;
  WebKitWebsiteDataManager* data =
      cacheDir.empty() ? webkit_website_data_manager_new_ephemeral()
                       : webkit_website_data_manager_new("base-data-directory", cacheDir.c_str(), "base-cache-directory",
                                                         cacheDir.c_str(), nullptr);
  WebKitMemoryPressureSettings* pressure = NewPressureSettings(options.pageMemory);
  auto* context = WEBKIT_WEB_CONTEXT(g_object_new(WEBKIT_TYPE_WEB_CONTEXT, "website-data-manager", data,
                                                  pressure ? "memory-pressure-settings" : nullptr, pressure, nullptr));
  if (pressure) webkit_memory_pressure_settings_free(pressure);
  g_object_unref(data);
  return context;
}

}  // namespace

WebEngine::WebEngine(const EngineOptions& options)
    : context_(NewContext(options)),
      automation_(options.automation),
      developerExtras_(options.developerExtras),
      mainLoop_(options.mainLoop),
      resources_(std::make_shared<ResSchemeHandlerFactory>(options.resourceFolder)) {
  if (!mainLoop_) throw std::invalid_argument("WebEngine: no main loop poster");
  PrepareSanitizedChildren();
  InstallPagePrinter(std::make_shared<PdfPrinter>(mainLoop_));
  // The page process loads our extension; it stays unsandboxed because
  // native page functions open local files there.
  webkit_web_context_set_web_extensions_directory(context_, options.extensionDir.c_str());
  // Should the sandbox ever be switched on, the module must stay reachable.
  webkit_web_context_add_path_to_sandbox(context_, options.extensionDir.c_str(), TRUE);
  GVariantDict init;
  g_variant_dict_init(&init, nullptr);
  g_variant_dict_insert(&init, "console", "b", options.console);
  for (const auto& [name, value] : options.extensionFlags) g_variant_dict_insert(&init, name.c_str(), "b", value);
  GVariantBuilder strings;
  g_variant_builder_init(&strings, G_VARIANT_TYPE("a{us}"));
  for (const auto& [id, text] : options.strings) g_variant_builder_add(&strings, "{us}", id, text.c_str());
  g_variant_dict_insert_value(&init, "strings", g_variant_builder_end(&strings));
  webkit_web_context_set_web_extensions_initialization_user_data(context_, g_variant_dict_end(&init));

  const char* languages[] = {"ja-JP", nullptr};
  webkit_web_context_set_preferred_languages(context_, languages);
  webkit_web_context_set_spell_checking_enabled(context_, FALSE);
  webkit_web_context_set_cache_model(context_, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
  RegisterResScheme(context_, resources_);
  // Remote control only when asked for: it lets anyone on the machine drive the page.
  webkit_web_context_set_automation_allowed(context_, options.automation);
}

WebEngine::~WebEngine() {
  InstallPagePrinter(nullptr);
  g_object_unref(context_);
}

void WebEngine::ApplySettings(WebKitWebView* view) const {
  WebKitSettings* settings = webkit_web_view_get_settings(view);
  webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);
  webkit_settings_set_enable_developer_extras(settings, developerExtras_);
  // Software rendering: no GPU on our machines, and it saves memory.
  webkit_settings_set_hardware_acceleration_policy(settings, WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
}

GtkWidget* WebEngine::NewView(WebKitWebView* related) const {
  // A related view takes its context, settings and user content from the other one.
  GtkWidget* view = related ? GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "related-view", related, "settings",
                                                      webkit_web_view_get_settings(related), "user-content-manager",
                                                      webkit_web_view_get_user_content_manager(related),
                                                      "is-controlled-by-automation", automation_, nullptr))
                            : GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context_,
                                                      "is-controlled-by-automation", automation_, nullptr));
  ApplySettings(WEBKIT_WEB_VIEW(view));
  return view;
}

GtkWidget* WebEngine::CreateView() const { return NewView(nullptr); }

GtkWidget* WebEngine::CreateRelatedView(WebKitWebView* related) const { return NewView(related); }

}  // namespace Sorrel::cef::webkit
