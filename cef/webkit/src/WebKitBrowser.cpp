#include "sorrel/cef/webkit/WebKitBrowser.h"

#include <array>
#include <functional>

#include "sorrel/cef/webkit/GVariantMsg.h"
#include "sorrel/cef/webkit/LoopPoster.h"

namespace Sorrel::cef::webkit {

bool OnMainThread() { return g_main_context_is_owner(g_main_context_default()); }

std::shared_ptr<WebKitBrowser> WebKitBrowser::Create(WebKitWebView* view, std::shared_ptr<LoopPoster> mainLoop) {
  return std::shared_ptr<WebKitBrowser>(new WebKitBrowser(view, std::move(mainLoop)));
}

WebKitBrowser::WebKitBrowser(WebKitWebView* view, std::shared_ptr<LoopPoster> mainLoop)
    : view_(WEBKIT_WEB_VIEW(g_object_ref(view))),
      mainLoop_(std::move(mainLoop)),
      id_(static_cast<int32_t>(webkit_web_view_get_page_id(view))) {
  const char* uri = webkit_web_view_get_uri(view);
  url_ = uri ? uri : "";
  handlers_[0] = g_signal_connect(view, "notify::uri", G_CALLBACK(OnUriChanged), this);
  handlers_[1] = g_signal_connect(view, "web-process-terminated", G_CALLBACK(OnPageGone), this);
  handlers_[2] = g_signal_connect(view, "load-changed", G_CALLBACK(OnLoad), this);
}

WebKitBrowser::~WebKitBrowser() {
  // The last reference may go on a worker thread; the view is let go on
  // the main thread.
  if (view_) {
    WebKitWebView* view = view_;
    auto release = [view, handlers = std::to_array(handlers_)] {
      for (gulong h : handlers) g_signal_handler_disconnect(view, h);
      g_object_unref(view);
    };
    if (OnMainThread()) release();
    else mainLoop_->Post(release);
  }
}

void WebKitBrowser::Detach() {
  if (!view_) return;
  for (gulong h : handlers_) g_signal_handler_disconnect(view_, h);
  g_object_unref(view_);
  view_ = nullptr;
  std::lock_guard lock(mutex_);
  detached_ = true;
}

void WebKitBrowser::OnUriChanged(WebKitWebView* view, GParamSpec*, gpointer self) {
  auto* browser = static_cast<WebKitBrowser*>(self);
  const char* uri = webkit_web_view_get_uri(view);
  std::lock_guard lock(browser->mutex_);
  browser->url_ = uri ? uri : "";
}

void WebKitBrowser::OnPageGone(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self) {
  auto* browser = static_cast<WebKitBrowser*>(self);
  std::lock_guard lock(browser->mutex_);
  browser->pageGone_ = true;
}

void WebKitBrowser::OnLoad(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
  if (event != WEBKIT_LOAD_COMMITTED) return;
  auto* browser = static_cast<WebKitBrowser*>(self);
  std::lock_guard lock(browser->mutex_);
  browser->pageGone_ = false;
}

bool WebKitBrowser::PageAlive() const {
  std::lock_guard lock(mutex_);
  return !detached_ && !pageGone_;
}

std::string WebKitBrowser::MainFrameUrl() const {
  std::lock_guard lock(mutex_);
  return url_;
}

bool WebKitBrowser::SendProcessMessage(const ProcessMessage& message) {
  if (!PageAlive()) return false;
  if (OnMainThread()) {
    SendOnMainThread(message);
  } else {
    mainLoop_->Post([self = weak_from_this(), message] {
      if (auto browser = self.lock()) browser->SendOnMainThread(message);
    });
  }
  return true;
}

void WebKitBrowser::SendOnMainThread(const ProcessMessage& message) {
  if (!view_) return;
  WebKitUserMessage* msg = webkit_user_message_new(message.name.c_str(), ToVariant(message.args));
  webkit_web_view_send_message_to_page(view_, msg, nullptr, nullptr, nullptr);
}

}  // namespace Sorrel::cef::webkit
