#include "SelfTestPage.h"

#include <cstdlib>
#include <cstring>

#include "SelfTestFunctions.h"
#include "linkmeter/Registration.h"
#include "linkmeter/shell/ShellApp.h"
#include "sorrel/com/ComServices.h"

namespace lmtest {
namespace {

using Sorrel::cef::BrowserPtr;
using Sorrel::cef::MsgValue;
using Sorrel::cef::ProcessMessage;

class ResultHandler : public Sorrel::cef::BsmsgMsgRouter::MsgHandler {
 public:
  ResultHandler(PageRun& run) : MsgHandler("lmtest.result"), run_(run) {}
  void Handle(BrowserPtr&, const ProcessMessage& m) override {
    CaseResult r;
    if (m.args.size() >= 2 && m.args[0].GetType() == MsgValue::Type::String) {
      r.name = m.args[0].GetString();
      r.ok = m.args[1].GetType() == MsgValue::Type::Bool && m.args[1].GetBool();
      if (m.args.size() >= 3 && m.args[2].GetType() == MsgValue::Type::String) r.detail = m.args[2].GetString();
    } else {
      r.name = "(malformed result)";
    }
    run_.cases.push_back(r);
  }

 private:
  PageRun& run_;
};

class DoneHandler : public Sorrel::cef::BsmsgMsgRouter::MsgHandler {
 public:
  DoneHandler(PageRun& run, linkmeter::shell::ShellApp& app, std::function<void()> onDone)
      : MsgHandler("lmtest.done"), run_(run), app_(app), onDone_(std::move(onDone)) {}
  void Handle(BrowserPtr&, const ProcessMessage&) override {
    if (onDone_) onDone_();
    run_.finished = true;
    app_.Quit(0);
  }

 private:
  PageRun& run_;
  linkmeter::shell::ShellApp& app_;
  std::function<void()> onDone_;
};

// The floor of a query: the two thread hand-offs every query makes (to a
// thread that waits for work, and back to the window thread), nothing else.
constexpr const char* kHandOffPing = "lm.selftest.handoff";

bool HandOffPing(WebKitUserMessage* message) {
  static GThreadPool* pool = g_thread_pool_new(
      [](gpointer m, gpointer) {
        g_idle_add(
            [](gpointer m) -> gboolean {
              auto* msg = static_cast<WebKitUserMessage*>(m);
              webkit_user_message_send_reply(msg, webkit_user_message_new(kHandOffPing, nullptr));
              g_object_unref(msg);
              return G_SOURCE_REMOVE;
            },
            m);
      },
      nullptr, 1, TRUE, nullptr);
  g_thread_pool_push(pool, g_object_ref(message), nullptr);
  return true;
}

}  // namespace

PageRun RunSelfTestPage(const std::string& url, int watchdogSeconds, std::function<void()> onDone) {
  PageRun run;
  // The runner's objects, kept for the process like a program's.
  static Sorrel::cef::Manager manager;
  static Sorrel::cef::CallbackTable callbacks;
  static bool registered = false;
  if (!registered) {
    static auto* devices = new Sorrel::Com::ComServices();
    linkmeter::RegisterPageFunctions(manager, *devices);
    linkmeter::selftest::RegisterSelfTestFunctions(manager, callbacks);
    registered = true;
  }
  linkmeter::shell::ShellConfig config;
  config.url = url;
  config.extensionDir = Sorrel::cef::webkit::ExecutableDir() / "webext-selftest";
  config.resourceFolder = Sorrel::cef::webkit::ExecutableDir() / "res";
  config.console = std::getenv("LM_TEST_CONSOLE") != nullptr;
  static auto mainLoop = std::make_shared<Sorrel::cef::webkit::LoopPoster>(g_main_context_default());
  config.mainLoop = mainLoop;
  static Sorrel::cef::QueryTaskGroup tasks;  // the runner's, kept for the process
  linkmeter::shell::ShellApp app(config, manager, tasks, callbacks);
  int argc = 0;
  char** argv = nullptr;
  if (!app.Start(argc, argv, run.error)) return run;

  app.Client().Messages().Add(std::make_shared<ResultHandler>(run));
  app.Client().Messages().Add(std::make_shared<DoneHandler>(run, app, std::move(onDone)));
  app.Client().SetExternalOpener(linkmeter::selftest::RecordExternalOpen);
  // The pings of the benchmark page: the bare one answered at once, the
  // floor one after a trip to a waiting thread and back to this one.
  app.Client().SetMessageHook([](WebKitUserMessage* message) {
    const char* name = webkit_user_message_get_name(message);
    if (std::strcmp(name, kHandOffPing) == 0) return HandOffPing(message);
    if (std::strcmp(name, "lm.selftest.ping") != 0) return false;
    webkit_user_message_send_reply(message, webkit_user_message_new("lm.selftest.ping", nullptr));
    return true;
  });
  struct Watchdog {
    PageRun* run;
    linkmeter::shell::ShellApp* app;
  } watchdog{&run, &app};
  guint timer = g_timeout_add_seconds(
      static_cast<guint>(watchdogSeconds),
      [](gpointer p) -> gboolean {
        auto* w = static_cast<Watchdog*>(p);
        w->run->timedOut = true;
        w->app->Quit(3);
        return G_SOURCE_REMOVE;
      },
      &watchdog);
  app.Run();
  if (!run.timedOut) g_source_remove(timer);
  return run;
}

}  // namespace lmtest
