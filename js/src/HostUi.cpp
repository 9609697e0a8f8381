#include "sorrel/js/HostUi.h"

#include <mutex>

namespace Sorrel::Js {

namespace {

// A host without windows (the command-line host, tests): work runs at once
// on the caller's thread, and there is neither a calling nor a main window.
class NoWindowUi : public HostUi {
 public:
  bool Call(const std::function<void()>& work) override {
    work();
    return true;
  }
  bool Post(std::function<void()> work) override {
    work();
    return true;
  }
  HostWindow* CallingWindow(const cef::BrowserPtr&) override { return nullptr; }
  bool HasMainWindow() override { return false; }
  void PostExit(bool) override {}
  bool HasClient(const cef::BrowserPtr&) override { return false; }
  void SetClosingValue(const cef::BrowserPtr&, const lm::json::Value&) override {}
  void ShowFileDialog(const FileDialogRequest&, std::function<void(std::vector<std::string>)> done) override {
    done({});
  }
  std::optional<std::string> ChooseFolder(const std::string&, const std::string&) override { return std::nullopt; }
  double Scale(const cef::BrowserPtr&) override { return 1.0; }
  void Focus(const cef::BrowserPtr&) override {}
  void PopupMenu(const cef::BrowserPtr&, const std::vector<MenuItem>&, const MenuPlacement&,
                 std::function<void(uint32_t)> done) override {
    done(0);
  }
  void ChooseApplication(const std::string&) override {}
  int32_t MessageBox(const MessageBoxRequest&) override { return 0; }
};

std::mutex g_mutex;
std::shared_ptr<HostUi> g_ui;

}  // namespace

std::shared_ptr<HostUi> CurrentUi() {
  std::lock_guard lock(g_mutex);
  if (!g_ui) g_ui = std::make_shared<NoWindowUi>();
  return g_ui;
}

void InstallUi(std::shared_ptr<HostUi> ui) {
  std::lock_guard lock(g_mutex);
  g_ui = std::move(ui);
}

}  // namespace Sorrel::Js
