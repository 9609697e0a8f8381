// The program's real window under Xvfb: the close protocol with two pages
// (main window and a same-origin popup), pages without the page functions
// and the main page's window.close(), message boxes left without a button,
// and the start-up error report.
// Each run gets its own HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "ProgramTestMain.h"
#include "linkmeter/shell/LinkmeterApp.h"
#include "linkmeter/shell/ProcessObjects.h"
#include "sorrel/cef/webkit/WebEngine.h"

using namespace linkmeter::shell;
namespace fs = std::filesystem;

namespace {

// Polls each step every 20 ms until it holds, then goes to the next; gives
// up (and ends the program) after `limitSeconds`.
class Steps {
 public:
  Steps(LinkmeterApp& app, int limitSeconds) : app_(app), limit_(limitSeconds * 50) {}
  ~Steps() {
    if (source_) g_source_remove(source_);
  }
  void Add(std::string name, std::function<bool()> step) { steps_.push_back({std::move(name), std::move(step)}); }
  void Start() { source_ = g_timeout_add(20, Tick, this); }
  bool Finished() const { return next_ == steps_.size(); }
  const std::string& Stuck() const { return stuck_; }
  // The first step that has not held yet, or "".
  std::string Reached() const { return next_ < steps_.size() ? steps_[next_].first : ""; }

 private:
  static gboolean Tick(gpointer p) {
    auto* s = static_cast<Steps*>(p);
    while (s->next_ < s->steps_.size() && s->steps_[s->next_].second()) ++s->next_;
    if (s->next_ < s->steps_.size() && --s->limit_ > 0) return G_SOURCE_CONTINUE;
    if (s->next_ < s->steps_.size()) {
      s->stuck_ = s->steps_[s->next_].first;
      if (s->app_.Frame()) gtk_widget_destroy(s->app_.Frame()->Window());
    }
    s->source_ = 0;
    return G_SOURCE_REMOVE;
  }
  LinkmeterApp& app_;
  guint source_ = 0;
  int limit_;
  size_t next_ = 0;
  std::string stuck_;
  std::vector<std::pair<std::string, std::function<bool()>>> steps_;
};

// Evaluates the script in the page; `value` gets the boolean result.
void Js(WebKitWebView* view, const std::string& script, int* value = nullptr) {
  webkit_web_view_evaluate_javascript(
      view, script.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* v, GAsyncResult* r, gpointer out) {
        JSCValue* result = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(v), r, nullptr);
        if (out) *static_cast<int*>(out) = result && jsc_value_to_boolean(result) ? 1 : 0;
        if (result) g_object_unref(result);
      },
      value);
}

// A step that holds once the script evaluates to true.
std::function<bool()> JsTrue(std::function<WebKitWebView*()> view, std::string script) {
  auto state = std::make_shared<int>(-1);
  return [=] {
    if (*state == 1) return true;
    if (*state != -2 && view()) {
      *state = -2;  // asked
      Js(view(), script, state.get());
    }
    if (*state == 0) *state = -1;  // ask again next time
    return false;
  };
}

// A resource folder of the test's own holding only the self-test package.
void OnlySelftestPackage(ProgramConfig& config) {
  const fs::path res = config.exeDir / "res";
  fs::create_directories(res);
  fs::create_symlink(config.resourceFolder / "selftest.appres", res / "selftest.appres");
  config.resourceFolder = res;
}

void Close(LinkmeterApp& app) { gtk_window_close(GTK_WINDOW(app.Frame()->Window())); }

// The visible top-level windows with that title.
int WindowsTitled(const std::string& title) {
  int n = 0;
  GList* windows = gtk_window_list_toplevels();
  for (GList* l = windows; l; l = l->next) {
    const char* t = gtk_window_get_title(GTK_WINDOW(l->data));
    if (t && title == t && gtk_widget_get_visible(GTK_WIDGET(l->data))) ++n;
  }
  g_list_free(windows);
  return n;
}

constexpr const char* kDocTitle = "API ドキュメント";

}  // namespace

TEST(ShellWindow, CloseAsksBothPagesAndListsThePageThatNeverAnswers) {
  std::vector<std::string> questions;
  bool answerYes = false;
  ProgramConfig config = linkmeter::testing::SelfTestConfig("exit");
  OnlySelftestPackage(config);
  config.askForceExit = [&](const std::string& text) {
    questions.push_back(text);
    return answerYes;
  };
  std::unique_ptr<Steps> steps;
  config.onStarted = [&] { steps->Start(); };
  LinkmeterApp app(config, linkmeter::shell::ProcessObjectsOnce());
  steps = std::make_unique<Steps>(app, 60);
  auto main = [&] { return app.Client()->MainView(); };
  auto popup = [&] { return app.Client()->Popup(0); };
  auto exiting = [&] { return linkmeter::shell::ProcessObjectsOnce().manager.WithExitState([](auto& s) { return s.exiting; }); };
  const char* ready = "typeof app == 'object' && typeof app.sendProcessMessage == 'function'";

  steps->Add("main page", JsTrue(main, ready));
  steps->Add("popup", [&] {
    if (!popup()) Js(main(), "window.__w = window.__w || window.open('app://res/selftest/blank.html')");
    return popup() != nullptr;
  });
  steps->Add("popup page", JsTrue(popup, ready));
  steps->Add("handlers 1", JsTrue(popup, "app.onConfirmExit = function(cb){ window.__asked = (window.__asked||0)+1;"
                                         " cb(false); }; true"));
  steps->Add("close 1", [&] {
    linkmeter::testing::PressApiDocKey(main());  // no documentation package: nothing opens
    Close(app);
    return true;
  });
  steps->Add("popup refused", JsTrue(popup, "window.__asked === 1"));
  steps->Add("no documentation window", [&] { return WindowsTitled(kDocTitle) == 0; });
  steps->Add("exit abandoned", [&] { return !exiting(); });
  steps->Add("handlers 2", JsTrue(popup, "app.onConfirmExit = function(cb){ window.__asked++; cb(true); };"
                                         " app.onExit = function(cb){ window.__exitAsked = true; }; true"));
  steps->Add("close 2", [&] {
    EXPECT_TRUE(gtk_widget_get_visible(app.Frame()->Window()));
    Close(app);
    return true;
  });
  steps->Add("asked again", JsTrue(popup, "window.__asked === 2 && window.__exitAsked === true"));
  steps->Add("close 3", [&] {
    EXPECT_TRUE(exiting());
    Close(app);
    return true;
  });
  steps->Add("question", [&] { return questions.size() == 1; });
  steps->Add("close 4", [&] {
    EXPECT_TRUE(exiting());  // No: still waiting
    answerYes = true;
    Close(app);
    return true;
  });
  int argc = 0;
  char** argv = nullptr;
  EXPECT_EQ(app.Run(argc, argv), 0);
  EXPECT_TRUE(steps->Finished()) << "stuck at " << steps->Stuck();
  ASSERT_EQ(questions.size(), 2u);
  const std::string head = "下記のブラウザがapp.onExitのコールバックを実行していません。\n強制的に終了しますか？\nid:";
  EXPECT_EQ(questions[0].rfind(head, 0), 0u) << questions[0];
  EXPECT_NE(questions[0].find(" url:app://res/selftest/blank.html"), std::string::npos) << questions[0];
  EXPECT_EQ(questions[0].find("\nid:", head.size()), std::string::npos) << "only the popup owes an answer";
}

TEST(ShellWindow, PagesWithoutTheAppObjectAgreeToCloseAtOnce) {
  // How each case leaves a page without the page functions.
  struct Case {
    const char* name;
    bool fileUrl;      // the main page is a file of another origin
    bool blankPopup;   // a popup is sent to about:blank
    const char* drop;  // script run in the main page first
  };
  const fs::path plain = linkmeter::testing::ProgramTestRoot() / "plain.html";
  std::ofstream(plain) << "<!DOCTYPE html><title>plain</title>no app here";
  for (const Case& c : {Case{"file page", true, false, nullptr}, Case{"blank popup", false, true, nullptr},
                        Case{"app dropped", false, false, "app = undefined; true"}}) {
    int questions = 0;
    ProgramConfig config = linkmeter::testing::SelfTestConfig(std::string("bare-") + c.name);
    OnlySelftestPackage(config);
    if (c.fileUrl) config.url = "file://" + plain.string();
    config.askForceExit = [&](const std::string&) { return ++questions, true; };
    std::unique_ptr<Steps> steps;
    config.onStarted = [&] { steps->Start(); };
    LinkmeterApp app(config, linkmeter::shell::ProcessObjectsOnce());
    steps = std::make_unique<Steps>(app, 30);
    auto main = [&] { return app.Client()->MainView(); };
    auto popup = [&] { return app.Client()->Popup(0); };
    steps->Add("main page", JsTrue(main, c.fileUrl ? "document.title == 'plain'" : "typeof app == 'object'"));
    if (c.blankPopup) {
      steps->Add("popup", [&] {
        if (!popup()) Js(main(), "window.__w = window.__w || window.open('app://res/selftest/blank.html')");
        return popup() != nullptr;
      });
      steps->Add("popup page", JsTrue(popup, "typeof app == 'object'"));
      steps->Add("to blank", JsTrue(popup, "location.href = 'about:blank'; true"));
      steps->Add("blank", [&] {
        const char* uri = webkit_web_view_get_uri(popup());
        return uri && std::string(uri) == "about:blank" && !webkit_web_view_is_loading(popup());
      });
    }
    if (c.drop) steps->Add("drop", JsTrue(main, c.drop));
    steps->Add("close", [&] {
      Close(app);
      return true;
    });
    steps->Add("ends by itself", [] { return false; });
    int argc = 0;
    char** argv = nullptr;
    EXPECT_EQ(app.Run(argc, argv), 0) << c.name;
    EXPECT_EQ(steps->Stuck(), "") << c.name;
    EXPECT_EQ(steps->Reached(), "ends by itself") << c.name;
    EXPECT_EQ(questions, 0) << c.name;
  }
}

TEST(ShellWindow, APageWhoseProcessEndsWhileAskedNoLongerHoldsTheClose) {
  int questions = 0;
  ProgramConfig config = linkmeter::testing::SelfTestConfig("page-gone");
  OnlySelftestPackage(config);
  config.askForceExit = [&](const std::string&) { return ++questions, true; };
  std::unique_ptr<Steps> steps;
  config.onStarted = [&] { steps->Start(); };
  LinkmeterApp app(config, linkmeter::shell::ProcessObjectsOnce());
  steps = std::make_unique<Steps>(app, 30);
  auto main = [&] { return app.Client()->MainView(); };
  auto exiting = [&] { return linkmeter::shell::ProcessObjectsOnce().manager.WithExitState([](auto& s) { return s.exiting; }); };
  steps->Add("main page", JsTrue(main, "typeof app == 'object'"));
  steps->Add("silent page", JsTrue(main, "app.onConfirmExit = function(cb){ window.__held = cb; }; true"));
  steps->Add("close", [&] {
    Close(app);
    return true;
  });
  steps->Add("asked", JsTrue(main, "typeof window.__held == 'function'"));
  steps->Add("page process ends", [&] {
    EXPECT_TRUE(exiting());
    webkit_web_view_terminate_web_process(main());
    return true;
  });
  steps->Add("ends by itself", [] { return false; });
  int argc = 0;
  char** argv = nullptr;
  EXPECT_EQ(app.Run(argc, argv), 0);
  EXPECT_EQ(steps->Stuck(), "");
  EXPECT_EQ(steps->Reached(), "ends by itself");
  EXPECT_EQ(questions, 0);
}

TEST(ShellWindow, WindowCloseInTheMainPageGoesThroughTheCloseProtocol) {
  ProgramConfig config = linkmeter::testing::SelfTestConfig("window-close");
  OnlySelftestPackage(config);
  std::unique_ptr<Steps> steps;
  config.onStarted = [&] { steps->Start(); };
  LinkmeterApp app(config, linkmeter::shell::ProcessObjectsOnce());
  steps = std::make_unique<Steps>(app, 60);
  auto main = [&] { return app.Client()->MainView(); };
  auto exiting = [&] { return linkmeter::shell::ProcessObjectsOnce().manager.WithExitState([](auto& s) { return s.exiting; }); };
  steps->Add("main page", JsTrue(main, "typeof app == 'object'"));
  steps->Add("refusing close", JsTrue(main, "app.onConfirmExit = function(cb){ window.__asked = (window.__asked||0)+1;"
                                            " cb(false); }; window.close(); true"));
  steps->Add("asked", JsTrue(main, "window.__asked === 1"));
  steps->Add("exit abandoned", [&] { return !exiting(); });
  steps->Add("agreeing close", [&] {
    EXPECT_TRUE(app.Frame() && gtk_widget_get_visible(app.Frame()->Window())) << "the refused close ended the window";
    Js(main(), "app.onConfirmExit = function(cb){ window.__asked++; cb(true); }; window.close(); true");
    return true;
  });
  steps->Add("ends by itself", [] { return false; });
  int argc = 0;
  char** argv = nullptr;
  EXPECT_EQ(app.Run(argc, argv), 0);
  EXPECT_EQ(steps->Stuck(), "");
  EXPECT_EQ(steps->Reached(), "ends by itself") << "the window ended before the pages agreed";
}

namespace {

// The message box on screen, or null.
GtkWidget* OpenMessageBox() {
  GtkWidget* found = nullptr;
  GList* windows = gtk_window_list_toplevels();
  for (GList* l = windows; l; l = l->next) {
    if (GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data))) found = GTK_WIDGET(l->data);
  }
  g_list_free(windows);
  return found;
}

// Escape as the keyboard would deliver it to the box.
void PressEscape(GtkWidget* dialog) {
  GdkEvent* event = gdk_event_new(GDK_KEY_PRESS);
  event->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(dialog)));
  event->key.keyval = GDK_KEY_Escape;
  GdkKeymapKey* keys = nullptr;
  gint n = 0;
  if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(gtk_widget_get_display(dialog)), GDK_KEY_Escape,
                                        &keys, &n) && n > 0)
    event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
  g_free(keys);
  event->key.send_event = TRUE;
  gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(gtk_widget_get_display(dialog))));
  gtk_widget_event(dialog, event);
  gdk_event_free(event);
}

}  // namespace

TEST(ShellWindow, AMessageBoxClosedWithoutAButtonAnswersAsItsButtonsSay) {
  struct Case {
    int btn;
    bool escape;  // else the window's close button
    int answer;   // 0: the box stays until a button is pressed
    int button;   // then this one (3 Yes, 4 No)
  };
  const Case cases[] = {{0, true, 1, 0}, {0, false, 1, 0}, {1, true, 2, 0},
                        {1, false, 2, 0}, {2, true, 0, 4},  {2, false, 0, 3}};
  ProgramConfig config = linkmeter::testing::SelfTestConfig("msgbox");
  OnlySelftestPackage(config);
  std::unique_ptr<Steps> steps;
  config.onStarted = [&] { steps->Start(); };
  LinkmeterApp app(config, linkmeter::shell::ProcessObjectsOnce());
  steps = std::make_unique<Steps>(app, 90);
  auto main = [&] { return app.Client()->MainView(); };
  steps->Add("main page", JsTrue(main, "typeof app == 'object'"));
  for (const Case& c : cases) {
    const std::string name = "btn " + std::to_string(c.btn) + (c.escape ? " escape" : " close");
    auto waited = std::make_shared<int>(0);
    steps->Add(name + ": ask", JsTrue(main, "window.__a = undefined; app.msgbox({btn: " + std::to_string(c.btn) +
                                                ", msg: 'x'}, function(v){ window.__a = v; },"
                                                " function(e){ window.__a = 'failed ' + e; }); true"));
    steps->Add(name + ": box", [=] {
      GtkWidget* box = OpenMessageBox();
      if (!box) return false;
      EXPECT_EQ(gtk_window_get_deletable(GTK_WINDOW(box)), c.answer != 0) << name;
      if (c.escape) PressEscape(box);
      else gtk_window_close(GTK_WINDOW(box));
      return true;
    });
    if (c.answer == 0) {
      steps->Add(name + ": kept", [=] {
        if (++*waited < 25) return false;  // half a second for a wrong answer to show
        GtkWidget* box = OpenMessageBox();
        EXPECT_TRUE(box) << name << ": the box was dismissed";
        const gint response = c.button == 3 ? GTK_RESPONSE_YES : GTK_RESPONSE_NO;
        if (box) gtk_button_clicked(GTK_BUTTON(gtk_dialog_get_widget_for_response(GTK_DIALOG(box), response)));
        return true;
      });
    }
    const int want = c.answer ? c.answer : c.button;
    steps->Add(name + ": answer " + std::to_string(want), JsTrue(main, "window.__a === " + std::to_string(want)));
  }
  steps->Add("end", [&] {
    Close(app);
    return true;
  });
  int argc = 0;
  char** argv = nullptr;
  EXPECT_EQ(app.Run(argc, argv), 0);
  EXPECT_TRUE(steps->Finished()) << "stuck at " << steps->Stuck();
}

TEST(ShellWindow, TheDocumentationKeyOpensOneKeptWindowThatRemembersItsPlace) {
  ProgramConfig config = linkmeter::testing::SelfTestConfig("apidoc");
  OnlySelftestPackage(config);
  fs::create_directories(config.resourceFolder / "ApiDoc.appres");
  std::ofstream(config.resourceFolder / "ApiDoc.appres" / "index.html") << "<!DOCTYPE html><title>apidoc</title>docs";
  std::unique_ptr<Steps> steps;
  config.onStarted = [&] { steps->Start(); };
  LinkmeterApp app(config, linkmeter::shell::ProcessObjectsOnce());
  steps = std::make_unique<Steps>(app, 60);
  auto main = [&] { return app.Client()->MainView(); };
  GtkWindow* doc = nullptr;
  steps->Add("main page", JsTrue(main, "typeof app == 'object'"));
  steps->Add("key", [&] {
    linkmeter::testing::PressApiDocKey(main());
    return true;
  });
  steps->Add("window", [&] { return WindowsTitled(kDocTitle) == 1; });
  steps->Add("page", [&] {
    GList* windows = gtk_window_list_toplevels();
    for (GList* l = windows; l; l = l->next) {
      const char* t = gtk_window_get_title(GTK_WINDOW(l->data));
      if (t && std::string(t) == kDocTitle) doc = GTK_WINDOW(l->data);
    }
    g_list_free(windows);
    auto* view = WEBKIT_WEB_VIEW(gtk_bin_get_child(GTK_BIN(doc)));
    const char* title = webkit_web_view_get_title(view);
    EXPECT_STREQ(webkit_web_view_get_uri(view), "app://res/ApiDoc/index.html");
    return title && std::string(title) == "apidoc";
  });
  steps->Add("closed hides", [&] {
    gtk_window_move(doc, 50, 60);
    gtk_window_close(doc);
    return true;
  });
  steps->Add("hidden", [&] { return WindowsTitled(kDocTitle) == 0; });
  steps->Add("again", [&] {
    linkmeter::testing::PressApiDocKey(main());
    return true;
  });
  steps->Add("the same window", [&] { return WindowsTitled(kDocTitle) == 1 && gtk_widget_get_visible(GTK_WIDGET(doc)); });
  steps->Add("end", [&] {
    Close(app);
    return true;
  });
  int argc = 0;
  char** argv = nullptr;
  EXPECT_EQ(app.Run(argc, argv), 0);
  EXPECT_TRUE(steps->Finished()) << "stuck at " << steps->Stuck();
  Profile profile(Profile::DefaultPath("VANTOR CORPORATION", "Fieldgauge(VELA)"));
  std::string error;
  ASSERT_TRUE(profile.Load(error)) << error;
  auto left = profile.GetInt("ApiDocDlg", "left"), right = profile.GetInt("ApiDocDlg", "right");
  ASSERT_TRUE(left && right);
  EXPECT_EQ(*left, 50);
  EXPECT_GT(*right, *left);
  EXPECT_TRUE(profile.GetInt("ApiDocDlg", "top") && profile.GetInt("ApiDocDlg", "bottom"));
}

namespace {

// Answers the first message dialog that appears, recording its text.
struct DialogWatch {
  std::string text, title;
  GtkMessageType type = GTK_MESSAGE_OTHER;
  bool seen = false;
  static gboolean Poll(gpointer p) {
    auto* w = static_cast<DialogWatch*>(p);
    GList* windows = gtk_window_list_toplevels();
    GtkWidget* found = nullptr;
    for (GList* l = windows; l; l = l->next) {
      if (GTK_IS_MESSAGE_DIALOG(l->data) && gtk_widget_get_visible(GTK_WIDGET(l->data))) found = GTK_WIDGET(l->data);
    }
    g_list_free(windows);
    if (!found) return G_SOURCE_CONTINUE;
    gchar* text = nullptr;
    g_object_get(found, "text", &text, "message-type", &w->type, nullptr);
    w->text = text ? text : "";
    g_free(text);
    w->title = gtk_window_get_title(GTK_WINDOW(found));
    gtk_dialog_response(GTK_DIALOG(found), GTK_RESPONSE_OK);
    w->seen = true;
    return G_SOURCE_REMOVE;
  }
};

}  // namespace

TEST(ShellWindow, AFailedStartIsReportedInAWarningDialog) {
  struct Case {
    const char* name;
    std::function<void(ProgramConfig&)> breakIt;
    std::string detail;
  };
  const fs::path docs = fs::path(std::getenv("HOME")) / "Documents";
  for (const Case& c : {
           Case{"locale", [](ProgramConfig& cfg) { fs::create_directories(cfg.replacementTable); }, "DoInitLocale"},
           Case{"folder", [&](ProgramConfig&) { std::ofstream(docs / "Vantor Corp") << "a file"; },
                "Failure to create folder.\r\n" + (docs / "Vantor Corp" / "Fieldgauge(VELA)").string()},
       }) {
    fs::create_directories(docs);
    ProgramConfig config = linkmeter::testing::SelfTestConfig(c.name);
    c.breakIt(config);
    DialogWatch watch;
    guint source = g_timeout_add(20, DialogWatch::Poll, &watch);
    LinkmeterApp app(config, linkmeter::shell::ProcessObjectsOnce());
    int argc = 0;
    char** argv = nullptr;
    EXPECT_EQ(app.Run(argc, argv), 1) << c.name;
    if (!watch.seen) g_source_remove(source);
    EXPECT_EQ(watch.text, "Fieldgauge(VELA) Ver.1.05.0 (JPN)\n" + c.detail + "\n" + std::string(40, ' ')) << c.name;
    EXPECT_EQ(watch.type, GTK_MESSAGE_WARNING);
    EXPECT_EQ(watch.title, "Fieldgauge(VELA)");
    fs::remove_all(docs);
  }
}
