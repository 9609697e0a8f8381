#pragma once
// The GUI program: the start sequence (locale and string table, workspace,
// engine, single instance, profile, main frame), the frame's services, the
// close protocol with the pages, power events, developer keys, the API
// documentation window, and the shutdown order.

#include <gtk/gtk.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "linkmeter/shell/Automation.h"
#include "linkmeter/shell/ClientBase.h"
#include "linkmeter/shell/FrameServices.h"
#include "linkmeter/shell/MainFrame.h"
#include "linkmeter/shell/ModelessDlg.h"
#include "linkmeter/shell/PowerEvents.h"
#include "linkmeter/shell/ProcessObjects.h"
#include "linkmeter/shell/Profile.h"
#include "linkmeter/shell/ShellOptions.h"
#include "linkmeter/shell/SingleInstance.h"
#include "linkmeter/shell/StringTable.h"
#include "sorrel/cef/ExitProtocol.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/webkit/WebEngine.h"

namespace linkmeter::shell {

struct ProgramConfig {
  ShellOptions options;
  std::string url;  // the main browser's page
  std::filesystem::path extensionDir;
  std::filesystem::path resourceFolder;
  std::filesystem::path replacementTable;  // <exe>.strings
  std::filesystem::path exeDir;            // where devtools_resources.pak is looked for
  bool singleInstance = true;              // off: tests running several programs at once
  // Tests: runs once the frame is shown; replaces the "デバッグ情報" dialog.
  std::function<void()> onStarted;
  std::function<bool(const std::string& text)> askForceExit;
};

// The defaults of the program beside its executable.
ProgramConfig DefaultProgramConfig(const ShellOptions& options);

class LinkmeterApp : private Sorrel::cef::ExitProtocol::Host {
 public:
  LinkmeterApp(ProgramConfig config, ProcessObjects objects);
  ~LinkmeterApp() override;

  // The whole life of the program; the process exit code: 0 after the main
  // window closed or when a running copy took over, 1 when the start failed.
  int Run(int& argc, char**& argv);

  ClientBase* Client() const { return client_.get(); }
  MainFrame* Frame() const { return frame_.get(); }
  FrameServices* Services() const { return services_.get(); }
  Profile* GetProfile() const { return profile_.get(); }
  const std::string& Locale() const { return locale_; }
  const std::filesystem::path& Workspace() const { return workspace_; }
  void ShowApiDocs();

 private:
  enum class Start { kRunning, kHandedOver, kFailed };
  Start StartSequence();
  bool InitLocale();
  bool InitWorkspace();
  void StartEngine();
  bool CheckSingleInstance();
  void LoadProfile();
  void CreateMainFrame();
  bool Fail(const std::string& detail);
  WebKitWebView* AutomationView();
  void OnCloseRequest();
  // SIGTERM, SIGINT, SIGHUP: ends the program in order whatever is open.
  void OnTerminate();
  void Shutdown();

  void PostToWindowThread(std::function<void()> task) override;
  bool AskForceExit(const std::string& text) override;
  void DestroyNow() override;

  ProgramConfig config_;
  Sorrel::cef::Manager& manager_;
  Sorrel::cef::QueryTaskGroup& tasks_;
  Sorrel::cef::CallbackTable& callbacks_;
  Sorrel::Com::ComServices& devices_;
  const std::shared_ptr<Sorrel::cef::webkit::LoopPoster> mainLoop_;
  StringTable strings_;
  std::string locale_;
  std::filesystem::path workspace_;
  GtkApplication* app_ = nullptr;
  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<Sorrel::cef::webkit::WebEngine> engine_;
  std::unique_ptr<Automation> automation_;
  bool mainViewHandedOut_ = false;
  std::unique_ptr<Profile> profile_;
  std::shared_ptr<FrameServices> services_;
  std::unique_ptr<Sorrel::cef::ExitProtocol> exit_;
  std::unique_ptr<ClientBase> client_;
  std::unique_ptr<MainFrame> frame_;
  std::unique_ptr<ModelessDlg> apiDoc_;
  std::unique_ptr<PowerWatcher> power_;
  GMainLoop* loop_ = nullptr;
  std::vector<guint> signalSources_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);  // posted tasks run only while set
};

}  // namespace linkmeter::shell
