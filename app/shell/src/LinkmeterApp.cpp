#include "linkmeter/shell/LinkmeterApp.h"

#include <glib-unix.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "linkmeter/shell/DeveloperKeys.h"
#include "linkmeter/shell/Locale.h"
#include "linkmeter/shell/MessageDialogs.h"
#include "linkmeter/shell/OpenDialogs.h"
#include "linkmeter/shell/ShutdownWait.h"
#include "linkmeter/shell/Workspace.h"
#include "lm/ThreadRole.h"
#include "lm/Version.h"
#include "sorrel/cef/BsmsgHandlers.h"
#include "sorrel/cef/QueryTaskGroup.h"
#include "sorrel/cef/ResSchemeHandlerFactory.h"
#include "sorrel/cef/webkit/WebKitBrowser.h"
#include "sorrel/com/ComServices.h"
#include "sorrel/js/Folders.h"
#include "sorrel/js/gtk/GtkHostUi.h"

namespace linkmeter::shell {
namespace {

constexpr const char* kApiDocTitle = "API ドキュメント";
constexpr const char* kApiDocUrl = "app://res/ApiDoc/index.html";
constexpr const char* kApiDocPackage = "ApiDoc.appres";

}  // namespace

ProgramConfig DefaultProgramConfig(const ShellOptions& options) {
  ProgramConfig config;
  config.options = options;
  config.url = options.url.empty() ? StartUrl("linkmeter") : options.url;
  if (!options.printJob.empty()) config.url = StartUrl("linkmeter") + options.printJob;
  config.exeDir = Sorrel::cef::webkit::ExecutableDir();
  config.extensionDir = config.exeDir / "webext";
  config.resourceFolder = Sorrel::cef::ResSchemeHandlerFactory::DefaultResourceFolder();
  config.replacementTable = ReplacementTablePath();
  return config;
}

LinkmeterApp::LinkmeterApp(ProgramConfig config, ProcessObjects objects)
    : config_(std::move(config)), manager_(objects.manager),
      tasks_(objects.tasks),
      callbacks_(objects.callbacks),
      devices_(objects.devices),
      mainLoop_(std::move(objects.mainLoop)) {}

LinkmeterApp::~LinkmeterApp() {
  Shutdown();
  if (loop_) g_main_loop_unref(loop_);
}

int LinkmeterApp::Run(int& argc, char**& argv) {
  // The window class matches the desktop entry; the locale is ours to set.
  static bool gtkStarted = false;  // tests run the program more than once
  if (!gtkStarted) {
    g_set_prgname(lm::kApplicationId);
    gtk_disable_setlocale();
  }
  if (!gtkStarted && !(gtkStarted = gtk_init_check(&argc, &argv))) {
    std::fprintf(stderr, "linkmeter: cannot open display: set DISPLAY, or run under xvfb-run\n");
    return 1;
  }
  const Start start = StartSequence();
  if (start == Start::kRunning) {
    loop_ = g_main_loop_new(nullptr, FALSE);
    if (config_.onStarted) config_.onStarted();
    if (frame_) {
      // While the loop serves windows, device work on this thread aborts
      // checked builds; the shutdown after it may block.
      lm::thread_role::WindowThreadScope windowThread;
      g_main_loop_run(loop_);
    }
  }
  Shutdown();
  return start == Start::kFailed ? 1 : 0;
}

LinkmeterApp::Start LinkmeterApp::StartSequence() {
  if (!InitLocale()) return Start::kFailed;
  static std::once_flag named;
  std::call_once(named, [this] { g_set_application_name(strings_.Get(strings::kAppTitle).c_str()); });
  if (!InitWorkspace()) return Start::kFailed;
  StartEngine();
  if (!CheckSingleInstance()) return Start::kHandedOver;
  LoadProfile();
  CreateMainFrame();
  return Start::kRunning;
}

bool LinkmeterApp::Fail(const std::string& detail) {
  const std::string& title = strings_.Get(strings::kAppTitle);
  ShowStartupError(title, StartupErrorText(title, VersionText(strings_), detail));
  return false;
}

bool LinkmeterApp::InitLocale() {
  std::string error;
  if (!strings_.LoadReplacement(config_.replacementTable, error)) {
    std::fprintf(stderr, "linkmeter: %s: %s\n", config_.replacementTable.c_str(), error.c_str());
    return Fail("DoInitLocale");
  }
  locale_ = SelectLocale(strings_.Get(strings::kLocaleName));
  // This process's folders (the site records among them) follow the table too.
  Sorrel::Js::SetFolderTexts(Sorrel::Js::FolderTextsFrom(strings_.All()));
  return true;
}

bool LinkmeterApp::InitWorkspace() {
  workspace_ = WorkspaceFolder(DocumentsFolder(), strings_);
  for (const auto& folder : {workspace_, EngineCacheFolder(workspace_)}) {
    if (!CreateFolderLevels(folder)) return Fail(strings_.Get(strings::kFolderFailure) + "\r\n" + folder.string());
  }
  return true;
}

void LinkmeterApp::StartEngine() {
  const auto& o = config_.options;
  Sorrel::cef::webkit::EngineOptions options;
  options.extensionDir = config_.extensionDir;
  options.resourceFolder = config_.resourceFolder;
  options.console = o.console;
  options.cacheDir = EngineCacheFolder(workspace_);
  options.automation = o.automation;
  options.developerExtras = DevtoolsAvailable(config_.exeDir, o.devtools);
  options.extensionFlags["demo"] = o.demo;  // the page shows its DEMO mark
  options.strings = strings_.All();         // folders and names in the page process follow the same table
  // A day-long repeat survey must not grow the page process: it gives back
  // caches above 16 MB and all it can rebuild above 32 MB, checked every 5 s.
  // The engine's own measure runs well below the process's anonymous memory
  // (70 MB on a 256-unit site), so thresholds near that level never fire.
  options.pageMemory = {.limitMb = 64, .releaseCaches = 0.25, .releaseAll = 0.5, .checkSeconds = 5};
  // The engine's locale is fixed; the page learns the user's language here.
  options.extensionFlags["systemJapanese"] = SystemLanguage([](const char* name) { return std::getenv(name); }) == "ja";
  options.mainLoop = mainLoop_;
  engine_ = std::make_unique<Sorrel::cef::webkit::WebEngine>(options);
  if (o.automation) {
    automation_ = std::make_unique<Automation>(engine_->Context(), strings_.Get(strings::kProgramName), kVersion,
                                               [this] { return AutomationView(); });
  }
}

bool LinkmeterApp::CheckSingleInstance() {
  app_ = gtk_application_new(lm::kApplicationId, G_APPLICATION_DEFAULT_FLAGS);
  // WebDriver starts a program of its own for each session.
  // A print job runs beside an open window, never handed over to it.
  const bool unique = config_.singleInstance && !config_.options.automation && config_.options.printJob.empty();
  auto mode = unique ? SingleInstance::Mode::kUnique : SingleInstance::Mode::kNonUnique;
  instance_ = std::make_unique<SingleInstance>(app_, g_get_user_runtime_dir(), mode);
  if (instance_->Acquire() == SingleInstance::Role::kHandedOver) return false;
  instance_->SetPresentHandler([this] {
    std::fprintf(stderr, "linkmeter: another start handed over; showing this window\n");
    if (frame_) frame_->Present();
  });
  return true;
}

void LinkmeterApp::LoadProfile() {
  profile_ = std::make_unique<Profile>(
      Profile::DefaultPath(strings_.Get(strings::kCompanyKey), strings_.Get(strings::kAppTitle)));
  std::string error;
  if (!profile_->Load(error)) ShowNotice(nullptr, "Error", profile_->File().string() + ": " + error);
  ApplyVersionCheck(*profile_, VersionText(strings_));
  if (!profile_->Save(error)) std::fprintf(stderr, "linkmeter: %s\n", error.c_str());
}

void LinkmeterApp::CreateMainFrame() {
  services_ = FrameServices::Create(g_main_context_default(), [this] { DestroyNow(); });
  manager_.SetUiThread(services_);
  // The host functions' windows, dialogs and menus go through the frame.
  Sorrel::Js::InstallUi(std::make_shared<Sorrel::Js::gtk::GtkHostUi>(manager_, mainLoop_));
  exit_ = std::make_unique<Sorrel::cef::ExitProtocol>(manager_, static_cast<Host&>(*this), callbacks_);
  client_ = std::make_unique<MyClient>(*engine_, manager_, tasks_, callbacks_);
  client_->SetDeveloperKeys(DevtoolsAvailable(config_.exeDir, config_.options.devtools), [this] {
    services_->Post([this] { ShowApiDocs(); });
  });
  client_->SetBrowserRemovedHook([this](int32_t id) { exit_->OnBrowserRemoved(id); });
  client_->SetPageGoneHook([this](int32_t id) { exit_->OnBrowserRemoved(id); });
  frame_ = std::make_unique<MainFrame>(app_, strings_.Get(strings::kAppTitle), *profile_);
  frame_->SetView(client_->CreateBrowser(config_.url));
  frame_->SetCloseHandler([this] { OnCloseRequest(); });
  // The page's window.close() starts a close; asked again meanwhile it
  // waits, where the user's second close asks. Under WebDriver the same
  // request also ends its sessions, which expect the window gone at once.
  if (!config_.options.automation) {
    client_->SetMainCloseHandler([this] {
      if (!manager_.WithExitState([](Sorrel::cef::Manager::ExitState& s) { return s.exiting; })) OnCloseRequest();
    });
  }
  frame_->SetDestroyedHandler([this] {
    if (loop_) g_main_loop_quit(loop_);
  });
  // A print job's window is never shown: the page lays the report out and
  // prints it all the same.
  if (config_.options.printJob.empty()) frame_->Show();
  // A termination request ends the window like a forced exit: open dialogs
  // and menus answered as cancelled, layout saved, units closed.
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    signalSources_.push_back(g_unix_signal_add(
        signal,
        [](gpointer self) -> gboolean {
          static_cast<LinkmeterApp*>(self)->OnTerminate();
          return G_SOURCE_CONTINUE;
        },
        this));
  }
  power_ = std::make_unique<PowerWatcher>([this](PowerEvent event, std::optional<bool> monitorOn) {
    Sorrel::cef::EvalInEveryPage(manager_, PowerEventScript(event, monitorOn));
  });
}

WebKitWebView* LinkmeterApp::AutomationView() {
  // The first browsing context is the main window itself.
  if (!mainViewHandedOut_ && client_ && client_->MainView()) {
    mainViewHandedOut_ = true;
    return client_->MainView();
  }
  return client_ ? client_->CreateWindowBrowser() : nullptr;
}

void LinkmeterApp::ShowApiDocs() {
  std::error_code ec;
  if (!std::filesystem::exists(config_.resourceFolder / kApiDocPackage, ec)) return;
  if (!apiDoc_) apiDoc_ = std::make_unique<ModelessDlg>(*engine_, manager_, tasks_, callbacks_, *profile_, "ApiDocDlg");
  apiDoc_->Show(kApiDocTitle, kApiDocUrl);
}

void LinkmeterApp::OnCloseRequest() {
  if (services_->Closing()) return;  // the pages agreed; the close is under way
  exit_->OnClose([this] {
    services_->SetClosing();
    services_->ForceClose();
  });
}

void LinkmeterApp::PostToWindowThread(std::function<void()> task) {
  // A task still queued when the program has shut down is dropped.
  mainLoop_->Post([alive = std::weak_ptr<int>(alive_), task = std::move(task)] {
    if (alive.lock()) task();
  });
}

bool LinkmeterApp::AskForceExit(const std::string& text) {
  if (config_.askForceExit) return config_.askForceExit(text);
  return AskDebugQuestion(frame_ ? GTK_WINDOW(frame_->Window()) : nullptr, text);
}

void LinkmeterApp::OnTerminate() {
  // A dialog's own loop runs inside the main loop: it has to end first, or
  // the main loop never gets back to see that it should stop.
  CancelOpenDialogs();
  DestroyNow();
  if (loop_) g_main_loop_quit(loop_);
}

void LinkmeterApp::DestroyNow() {
  if (frame_) frame_->Destroy();
}

void LinkmeterApp::Shutdown() {
  alive_.reset();
  if (client_) client_->SetBrowserRemovedHook(nullptr);
  for (guint id : signalSources_) g_source_remove(id);
  signalSources_.clear();
  power_.reset();
  // The loop has ended: callers waiting on the window thread give up.
  if (auto ui = std::dynamic_pointer_cast<Sorrel::Js::gtk::GtkHostUi>(Sorrel::Js::CurrentUi())) ui->Stop();
  Sorrel::Js::InstallUi(nullptr);
  if (services_) services_->Stop();
  manager_.SetUiThread(nullptr);
  apiDoc_.reset();
  frame_.reset();
  if (client_) client_->CloseAll();
  WaitForBrowsers(manager_);
  client_.reset();
  tasks_.CancelAndWait();
  devices_.Units().CloseAll();
  if (profile_) {
    std::string error;
    if (!profile_->Save(error)) std::fprintf(stderr, "linkmeter: %s\n", error.c_str());
  }
  exit_.reset();
  automation_.reset();
  engine_.reset();
  instance_.reset();
  if (app_) g_object_unref(app_);
  app_ = nullptr;
}

}  // namespace linkmeter::shell
