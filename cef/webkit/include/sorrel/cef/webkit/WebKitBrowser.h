#pragma once
// One web view as the bridge sees it. WebKit objects are used on the GTK
// main thread only; the URL copy and message sending are safe from any
// thread (sends from other threads are carried to the main thread).

#include <webkit2/webkit2.h>

#include <memory>
#include <mutex>
#include <string>

#include "sorrel/cef/BsmsgHandlers.h"
#include "sorrel/cef/Engine.h"
#include "sorrel/cef/webkit/LoopPoster.h"

namespace Sorrel::cef::webkit {

class WebKitBrowser : public Browser, public ProcessMessageSink, public std::enable_shared_from_this<WebKitBrowser> {
 public:
  // Main thread. Holds a reference on the view until Detach; `mainLoop`
  // carries work from other threads to the main thread.
  static std::shared_ptr<WebKitBrowser> Create(WebKitWebView* view, std::shared_ptr<LoopPoster> mainLoop);
  ~WebKitBrowser() override;

  int32_t Identifier() const override { return id_; }
  std::string MainFrameUrl() const override;
  bool SendProcessMessage(const ProcessMessage& message) override;

  // Main thread: the view, or null once detached.
  WebKitWebView* View() const { return view_; }
  // Main thread: lets the view go; later sends are refused.
  void Detach();
  // False from the end of the view's page process until its next document:
  // nothing sent meanwhile would ever be answered, so sends are refused.
  bool PageAlive() const;

 private:
  WebKitBrowser(WebKitWebView* view, std::shared_ptr<LoopPoster> mainLoop);
  static void OnUriChanged(WebKitWebView* view, GParamSpec*, gpointer self);
  static void OnPageGone(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self);
  static void OnLoad(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  void SendOnMainThread(const ProcessMessage& message);

  WebKitWebView* view_;
  const std::shared_ptr<LoopPoster> mainLoop_;
  const int32_t id_;
  gulong handlers_[3] = {0, 0, 0};
  mutable std::mutex mutex_;
  std::string url_;
  bool detached_ = false;
  bool pageGone_ = false;
};

// True on the thread that runs the default GLib main context.
bool OnMainThread();

}  // namespace Sorrel::cef::webkit
