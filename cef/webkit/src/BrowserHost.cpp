#include "sorrel/cef/webkit/BrowserHost.h"

#include <cstring>

#include "sorrel/cef/webkit/GVariantMsg.h"
#include "sorrel/cef/webkit/Protocol.h"

namespace Sorrel::cef::webkit {

BrowserHost::BrowserHost(WebKitWebView* view, BsmsgRouter& queries, const BsmsgMsgRouter& messages,
                         std::shared_ptr<LoopPoster> mainLoop)
    : view_(view),
      browser_(WebKitBrowser::Create(view, mainLoop)),
      queries_(UserMessageQueryRouter::Create(queries, browser_, std::move(mainLoop))),
      messages_(messages) {
  handlers_[0] = g_signal_connect(view, "user-message-received", G_CALLBACK(OnUserMessage), this);
  handlers_[1] = g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), this);
  handlers_[2] = g_signal_connect(view, "web-process-terminated", G_CALLBACK(OnProcessTerminated), this);
}

BrowserHost::~BrowserHost() {
  for (gulong h : handlers_) g_signal_handler_disconnect(view_, h);
  queries_->CancelAll();
  browser_->Detach();
}

gboolean BrowserHost::OnUserMessage(WebKitWebView*, WebKitUserMessage* message, gpointer self) {
  return static_cast<BrowserHost*>(self)->Dispatch(message);
}

bool BrowserHost::Dispatch(WebKitUserMessage* message) {
  const char* name = webkit_user_message_get_name(message);
  GVariant* params = webkit_user_message_get_parameters(message);
  if (std::strcmp(name, kMsgQuery) == 0) {
    queries_->OnQuery(message);
    return true;
  }
  if (std::strcmp(name, kMsgQueryCancel) == 0 || std::strcmp(name, kMsgFrameCleared) == 0) {
    if (params && g_variant_is_of_type(params, G_VARIANT_TYPE("(x)"))) {
      gint64 id = 0;
      g_variant_get(params, "(x)", &id);
      if (std::strcmp(name, kMsgQueryCancel) == 0) queries_->OnCancel(id);
      else queries_->OnFrameCleared(id);
    }
    return true;
  }
  BrowserPtr browser = browser_;
  if (messages_.Route(browser, ProcessMessage{name, ListFromVariant(params)})) return true;
  return hook_ && hook_(message);
}

void BrowserHost::OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
  // A new main-frame navigation gives up what the old page asked.
  if (event == WEBKIT_LOAD_STARTED) static_cast<BrowserHost*>(self)->queries_->CancelAll();
}

void BrowserHost::OnProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self) {
  static_cast<BrowserHost*>(self)->queries_->CancelAll();
}

}  // namespace Sorrel::cef::webkit
