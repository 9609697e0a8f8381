#include "linkmeter/shell/ClientBase.h"

#include <algorithm>
#include <cstdio>

#include "linkmeter/shell/DeveloperKeys.h"
#include "linkmeter/shell/ShellOptions.h"

using Sorrel::cef::webkit::BrowserHost;

namespace linkmeter::shell {

ClientBase::ClientBase(const Sorrel::cef::webkit::WebEngine& engine, Sorrel::cef::Manager& manager,
                       Sorrel::cef::QueryTaskGroup& tasks, Sorrel::cef::CallbackTable& callbacks)
    : engine_(engine), manager_(manager), queries_(tasks) {
  Sorrel::cef::AddBrowserMessageHandlers(messages_, manager_, callbacks);
}

ClientBase::~ClientBase() { CloseAll(); }

GtkWidget* ClientBase::CreateBrowser(const std::string& url) {
  GtkWidget* view = engine_.CreateView();
  main_ = WEBKIT_WEB_VIEW(view);
  Track(main_);
  webkit_web_view_load_uri(main_, url.c_str());
  return view;
}

WebKitWebView* ClientBase::CreateWindowBrowser() {
  GtkWidget* view = engine_.CreateView();
  Track(WEBKIT_WEB_VIEW(view));
  popups_.push_back(WEBKIT_WEB_VIEW(view));
  OnReadyToShow(WEBKIT_WEB_VIEW(view), this);
  return WEBKIT_WEB_VIEW(view);
}

std::shared_ptr<Sorrel::cef::webkit::WebKitBrowser> ClientBase::MainBrowser() const {
  auto it = hosts_.find(main_);
  return it == hosts_.end() ? nullptr : it->second->GetBrowser();
}

void ClientBase::SetMessageHook(BrowserHost::MessageHook hook) {
  hook_ = std::move(hook);
  for (auto& [view, host] : hosts_) host->SetMessageHook(hook_);
}

void ClientBase::Track(WebKitWebView* view) {
  auto host = std::make_unique<BrowserHost>(view, queries_, messages_, engine_.MainLoop());
  host->SetMessageHook(hook_);
  manager_.RegisterBrowser(host->GetBrowser(), queries_);
  OnBrowserCreated(*host);
  hosts_[view] = std::move(host);
  g_signal_connect(view, "create", G_CALLBACK(OnCreate), this);
  g_signal_connect(view, "close", G_CALLBACK(OnClose), this);
  g_signal_connect(view, "destroy", G_CALLBACK(OnDestroy), this);
  g_signal_connect(view, "key-press-event", G_CALLBACK(OnKey), this);
  g_signal_connect(view, "web-process-terminated", G_CALLBACK(OnPageGone), this);
}

void ClientBase::OnPageGone(WebKitWebView* view, WebKitWebProcessTerminationReason, gpointer self) {
  auto* client = static_cast<ClientBase*>(self);
  auto it = client->hosts_.find(view);
  if (it != client->hosts_.end() && client->pageGoneHook_) client->pageGoneHook_(it->second->GetBrowser()->Identifier());
}

void ClientBase::SetDeveloperKeys(bool devtools, std::function<void()> showApiDocs) {
  devtools_ = devtools;
  showApiDocs_ = std::move(showApiDocs);
}

gboolean ClientBase::OnKey(GtkWidget* view, GdkEventKey* event, gpointer self) {
  auto* client = static_cast<ClientBase*>(self);
  switch (DeveloperKeyAction(event->keyval, GdkModifierType(event->state), client->devtools_)) {
    case DevKeyAction::kInspector:
      webkit_web_inspector_show(webkit_web_view_get_inspector(WEBKIT_WEB_VIEW(view)));
      return TRUE;
    case DevKeyAction::kReload:
      webkit_web_view_reload(WEBKIT_WEB_VIEW(view));
      return TRUE;
    case DevKeyAction::kApiDocs:
      if (!client->showApiDocs_) return FALSE;
      client->showApiDocs_();
      return TRUE;
    case DevKeyAction::kNone:
      break;
  }
  return FALSE;
}

void ClientBase::Untrack(WebKitWebView* view) {
  auto it = hosts_.find(view);
  if (it == hosts_.end()) return;
  g_signal_handlers_disconnect_by_data(view, this);
  const int32_t id = it->second->GetBrowser()->Identifier();
  manager_.RemoveBrowser(id);
  hosts_.erase(it);
  popups_.erase(std::remove(popups_.begin(), popups_.end(), view), popups_.end());
  if (main_ == view) main_ = nullptr;
  if (removedHook_) removedHook_(id);
}

void ClientBase::CloseAll() {
  while (!hosts_.empty()) Untrack(hosts_.begin()->first);
}

GtkWidget* ClientBase::OnCreate(WebKitWebView* opener, WebKitNavigationAction* action, gpointer self) {
  auto* client = static_cast<ClientBase*>(self);
  const char* target = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  const char* from = webkit_web_view_get_uri(opener);
  if (!target || !from || !SameOrigin(target, from)) {
    if (target) client->OpenExternally(target);
    return nullptr;
  }
  GtkWidget* view = client->engine_.CreateRelatedView(opener);
  client->Track(WEBKIT_WEB_VIEW(view));
  client->popups_.push_back(WEBKIT_WEB_VIEW(view));
  g_signal_connect(view, "ready-to-show", G_CALLBACK(OnReadyToShow), self);
  return view;
}

void ClientBase::OnReadyToShow(WebKitWebView* view, gpointer) {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 640, 480);
  gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
  gtk_widget_show_all(window);
}

void ClientBase::OnClose(WebKitWebView* view, gpointer self) {
  auto* client = static_cast<ClientBase*>(self);
  if (view == client->main_ && client->mainClose_) {
    client->mainClose_();
    return;
  }
  GtkWidget* top = gtk_widget_get_toplevel(GTK_WIDGET(view));
  gtk_widget_destroy(gtk_widget_is_toplevel(top) ? top : GTK_WIDGET(view));
}

void ClientBase::OnDestroy(GtkWidget* view, gpointer self) {
  static_cast<ClientBase*>(self)->Untrack(WEBKIT_WEB_VIEW(view));
}

void ClientBase::OpenExternally(const std::string& url) {
  if (externalOpener_) {
    externalOpener_(url);
    return;
  }
  GError* error = nullptr;
  if (!g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error)) {
    std::fprintf(stderr, "cannot open %s: %s\n", url.c_str(), error ? error->message : "no handler");
    if (error) g_error_free(error);
  }
}

}  // namespace linkmeter::shell
