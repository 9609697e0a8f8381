#include "sorrel/js/gtk/GtkHostUi.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "GtkHostWindow.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/webkit/WebKitBrowser.h"

namespace Sorrel::Js::gtk {

namespace {

constexpr const char* kClosingValueKey = "lm-closing-value";
constexpr auto kStopCheck = std::chrono::milliseconds(50);

// The window of the first browser still open.
GtkWindow* FirstBrowserWindow(cef::Manager& manager) {
  GtkWidget* best = nullptr;
  int32_t bestId = 0;
  for (const auto& b : manager.Browsers()) {
    GtkWidget* view = GtkHostUi::ViewOf(b);
    if (view && (!best || b->Identifier() < bestId)) {
      best = view;
      bestId = b->Identifier();
    }
  }
  GtkWidget* top = best ? gtk_widget_get_toplevel(best) : nullptr;
  return top && GTK_IS_WINDOW(top) ? GTK_WINDOW(top) : nullptr;
}

}  // namespace

// One waiting call. The caller gives up only while the work has not
// started, so work that runs never outlives what it refers to.
struct GtkHostUi::Waiter {
  std::mutex mutex;
  std::condition_variable cv;
  const std::function<void()>* work = nullptr;
  bool started = false, done = false, abandoned = false;
};

GtkHostUi::GtkHostUi(cef::Manager& manager, std::shared_ptr<cef::webkit::LoopPoster> mainLoop, Options options)
    : manager_(manager),
      mainLoop_(std::move(mainLoop)),
      options_(std::move(options)),
      uiThread_(std::this_thread::get_id()) {}

GtkHostUi::~GtkHostUi() {
  if (watched_) g_signal_handlers_disconnect_by_data(watched_, this);
}

bool GtkHostUi::Call(const std::function<void()>& work) {
  // The program's frame serves calls while it exists.
  if (auto frame = manager_.Ui()) return frame->Call(work);
  if (std::this_thread::get_id() == uiThread_) {
    work();
    return true;
  }
  if (stopped_) return false;
  auto waiter = std::make_shared<Waiter>();
  waiter->work = &work;
  RunLater([waiter] {
    {
      std::lock_guard lock(waiter->mutex);
      if (waiter->abandoned) return;
      waiter->started = true;
    }
    (*waiter->work)();
    std::lock_guard lock(waiter->mutex);
    waiter->done = true;
    waiter->cv.notify_all();
  });
  std::unique_lock lock(waiter->mutex);
  while (!waiter->done) {
    if (stopped_ && !waiter->started) {
      waiter->abandoned = true;
      return false;
    }
    waiter->cv.wait_for(lock, kStopCheck);
  }
  return true;
}

bool GtkHostUi::Post(std::function<void()> work) {
  if (auto frame = manager_.Ui()) return frame->Post(std::move(work)) != 0;
  if (stopped_) return false;
  RunLater(std::move(work));
  return true;
}

void GtkHostUi::Stop() { stopped_ = true; }

GtkWindow* GtkHostUi::MainWindow() {
  GtkWindow* main = options_.mainWindow ? options_.mainWindow() : FirstBrowserWindow(manager_);
  if (main && main != watched_) {
    if (watched_) g_signal_handlers_disconnect_by_data(watched_, this);
    watched_ = main;
    // Once the main window is gone nothing serves the calls any more.
    g_signal_connect(main, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer self) {
                       auto* ui = static_cast<GtkHostUi*>(self);
                       ui->watched_ = nullptr;
                       ui->Stop();
                     }),
                     this);
  }
  return main;
}

GtkWidget* GtkHostUi::ViewOf(const cef::BrowserPtr& browser) {
  auto web = std::dynamic_pointer_cast<cef::webkit::WebKitBrowser>(browser);
  return web && web->View() ? GTK_WIDGET(web->View()) : nullptr;
}

HostWindow* GtkHostUi::CallingWindow(const cef::BrowserPtr& browser) {
  MainWindow();
  GtkWidget* view = ViewOf(browser);
  GtkWidget* top = view ? gtk_widget_get_toplevel(view) : nullptr;
  if (!top || !GTK_IS_WINDOW(top)) return nullptr;
  window_ = std::make_unique<GtkHostWindow>(GTK_WINDOW(top));
  return window_.get();
}

void GtkHostUi::PostExit(bool force) {
  if (options_.exit) {
    options_.exit(force);
    return;
  }
  // After the answer has gone: the frame's forced close, or the main
  // window's normal close path (which asks the pages first).
  auto frame = manager_.Ui();
  if (force && frame) {
    RunLater([frame] { frame->ForceClose(); });
    return;
  }
  GtkWindow* main = MainWindow();
  if (!main) return;
  g_object_ref(main);
  RunLater([main, force] {
    if (force) gtk_widget_destroy(GTK_WIDGET(main));
    else gtk_window_close(main);
    g_object_unref(main);
  });
}

bool GtkHostUi::HasClient(const cef::BrowserPtr& browser) { return ViewOf(browser) != nullptr; }

void GtkHostUi::SetClosingValue(const cef::BrowserPtr& browser, const lm::json::Value& value) {
  if (GtkWidget* view = ViewOf(browser))
    g_object_set_data_full(G_OBJECT(view), kClosingValueKey, new lm::json::Value(value),
                           [](gpointer p) { delete static_cast<lm::json::Value*>(p); });
}

lm::json::Value GtkHostUi::ClosingValue(GtkWidget* view) {
  auto* v = view ? static_cast<lm::json::Value*>(g_object_get_data(G_OBJECT(view), kClosingValueKey)) : nullptr;
  return v ? *v : lm::json::Value();
}

double GtkHostUi::Scale(const cef::BrowserPtr& browser) {
  GtkWidget* view = ViewOf(browser);
  return view ? gtk_widget_get_scale_factor(view) : 1.0;
}

void GtkHostUi::Focus(const cef::BrowserPtr& browser) {
  if (GtkWidget* view = ViewOf(browser)) gtk_widget_grab_focus(view);
}

void GtkHostUi::Shown(GtkWidget* widget) {
  if (!shownHook_) return;
  g_object_ref(widget);
  RunLater([hook = shownHook_, widget] {
    hook(widget);
    g_object_unref(widget);
  });
}

}  // namespace Sorrel::Js::gtk
