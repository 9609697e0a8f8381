#pragma once
// The browser client of one main browser and its popups: creates the views,
// registers each browser with the Manager while it is open, keeps same-origin
// popups in its list and hands other origins to the desktop's browser.
// Owns the query router and the process-message router the browsers share.
// Main thread only.

#include <webkit2/webkit2.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sorrel/cef/BsmsgHandlers.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/webkit/BrowserHost.h"
#include "sorrel/cef/webkit/WebEngine.h"

namespace linkmeter::shell {

class ClientBase {
 public:
  // Queries of its browsers run on `tasks`; pages answer into `callbacks`.
  ClientBase(const Sorrel::cef::webkit::WebEngine& engine, Sorrel::cef::Manager& manager,
             Sorrel::cef::QueryTaskGroup& tasks, Sorrel::cef::CallbackTable& callbacks);
  virtual ~ClientBase();
  ClientBase(const ClientBase&) = delete;
  ClientBase& operator=(const ClientBase&) = delete;

  // Creates the main browser's view loading `url`; the caller places it.
  GtkWidget* CreateBrowser(const std::string& url);
  // Another browser of this client in a window of its own, kept with the
  // popups (browsing contexts a WebDriver asks for).
  WebKitWebView* CreateWindowBrowser();
  // Closes every browser: unregisters them and gives up their queries.
  void CloseAll();

  Sorrel::cef::BsmsgMsgRouter& Messages() { return messages_; }
  Sorrel::cef::BsmsgRouter& Queries() { return queries_; }
  WebKitWebView* MainView() const { return main_; }
  std::shared_ptr<Sorrel::cef::webkit::WebKitBrowser> MainBrowser() const;
  size_t PopupCount() const { return popups_.size(); }
  WebKitWebView* Popup(size_t i) const { return i < popups_.size() ? popups_[i] : nullptr; }
  // For user messages nobody else takes (tests, benchmarks).
  void SetMessageHook(Sorrel::cef::webkit::BrowserHost::MessageHook hook);
  // Replaces the desktop's default browser for other-origin popups.
  void SetExternalOpener(std::function<void(const std::string& url)> opener) { externalOpener_ = std::move(opener); }
  // The developer keys of every view; `showApiDocs` runs on Ctrl+Shift+H.
  void SetDeveloperKeys(bool devtools, std::function<void()> showApiDocs);
  // The main page's window.close(): the window's own close request instead
  // of ending the window, so the pages are asked first. Without it the
  // main view's window simply closes.
  void SetMainCloseHandler(std::function<void()> onClose) { mainClose_ = std::move(onClose); }
  // Told of each browser leaving the Manager, by id.
  void SetBrowserRemovedHook(std::function<void(int32_t)> hook) { removedHook_ = std::move(hook); }
  // Told, by id, of each browser whose page process ended (a crash, or the
  // system ending it); the browser stays open.
  void SetPageGoneHook(std::function<void(int32_t)> hook) { pageGoneHook_ = std::move(hook); }

 protected:
  // A popup to another origin: the desktop's default browser shows it.
  virtual void OpenExternally(const std::string& url);
  virtual void OnBrowserCreated(Sorrel::cef::webkit::BrowserHost&) {}

 private:
  static GtkWidget* OnCreate(WebKitWebView* opener, WebKitNavigationAction* action, gpointer self);
  static void OnReadyToShow(WebKitWebView* view, gpointer self);
  static void OnClose(WebKitWebView* view, gpointer self);
  static void OnDestroy(GtkWidget* view, gpointer self);
  static void OnPageGone(WebKitWebView* view, WebKitWebProcessTerminationReason, gpointer self);
  static gboolean OnKey(GtkWidget* view, GdkEventKey* event, gpointer self);
  void Track(WebKitWebView* view);
  void Untrack(WebKitWebView* view);

  const Sorrel::cef::webkit::WebEngine& engine_;
  Sorrel::cef::Manager& manager_;
  Sorrel::cef::BsmsgRouter queries_;
  Sorrel::cef::BsmsgMsgRouter messages_;
  WebKitWebView* main_ = nullptr;
  std::vector<WebKitWebView*> popups_;
  std::map<WebKitWebView*, std::unique_ptr<Sorrel::cef::webkit::BrowserHost>> hosts_;
  Sorrel::cef::webkit::BrowserHost::MessageHook hook_;
  std::function<void(const std::string&)> externalOpener_;
  bool devtools_ = false;
  std::function<void()> showApiDocs_;
  std::function<void(int32_t)> removedHook_;
  std::function<void()> mainClose_;
  std::function<void(int32_t)> pageGoneHook_;
};

// The program's client.
class MyClient : public ClientBase {
 public:
  using ClientBase::ClientBase;
};

}  // namespace linkmeter::shell
