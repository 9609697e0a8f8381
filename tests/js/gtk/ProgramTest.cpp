// The host functions in the real program under Xvfb: the page calls them as
// it would in the field; dialogs and menus are answered through the UI's
// shown hook. Own HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR per run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ProgramTestMain.h"
#include "linkmeter/shell/LinkmeterApp.h"
#include "linkmeter/shell/ProcessObjects.h"
#include "sorrel/cef/webkit/WebEngine.h"
#include "sorrel/js/FileNames.h"
#include "sorrel/js/Folders.h"
#include "sorrel/js/gtk/GtkHostUi.h"

using namespace linkmeter::shell;
namespace fs = std::filesystem;

namespace {

// Evaluates the script in the page; `out` gets its value as a string once
// done ("!" + message when it threw).
void Eval(WebKitWebView* view, const std::string& script, std::shared_ptr<std::string> out) {
  webkit_web_view_evaluate_javascript(
      view, script.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* v, GAsyncResult* r, gpointer p) {
        auto* holder = static_cast<std::shared_ptr<std::string>*>(p);
        GError* error = nullptr;
        JSCValue* result = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(v), r, &error);
        if (result) {
          gchar* s = jsc_value_to_string(result);
          **holder = s ? s : "";
          g_free(s);
          g_object_unref(result);
        } else {
          **holder = std::string("!") + (error ? error->message : "?");
        }
        g_clear_error(&error);
        delete holder;
      },
      new std::shared_ptr<std::string>(out));
}

// Steps run one after another from a timer; each holds once its check does.
class Steps {
 public:
  explicit Steps(LinkmeterApp& app) : app_(app) {}
  void Add(std::string name, std::function<bool()> step) { steps_.push_back({std::move(name), std::move(step)}); }
  // A step that evaluates the script until its value is `want` ("*": any).
  void AddJs(std::string name, std::string script, std::string want) {
    auto got = std::make_shared<std::string>();
    auto asked = std::make_shared<bool>(false);
    auto results = &results_;
    Add(name, [=, this] {
      if (!*asked) {
        *asked = true;
        Eval(app_.Client()->MainView(), script, got);
      }
      if (got->empty()) return false;
      (*results)[name] = *got;
      if (*got == want || want == "*") return true;
      got->clear();  // not yet: ask again
      *asked = false;
      return false;
    });
  }
  void Start() { g_timeout_add(20, Tick, this); }
  bool Finished() const { return next_ == steps_.size(); }
  std::string Stuck() const { return next_ < steps_.size() ? steps_[next_].first : ""; }
  std::map<std::string, std::string> results_;

 private:
  static gboolean Tick(gpointer p) {
    auto* s = static_cast<Steps*>(p);
    while (s->next_ < s->steps_.size() && s->steps_[s->next_].second()) ++s->next_;
    if (s->next_ == s->steps_.size()) return G_SOURCE_REMOVE;
    if (--s->limit_ > 0) return G_SOURCE_CONTINUE;
    if (s->app_.Frame()) gtk_widget_destroy(s->app_.Frame()->Window());
    return G_SOURCE_REMOVE;
  }
  LinkmeterApp& app_;
  int limit_ = 60 * 50;
  size_t next_ = 0;
  std::vector<std::pair<std::string, std::function<bool()>>> steps_;
};

// "what/who" of logind's blocking locks, or "" without a logind on the system bus.
std::string LogindLocks() {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr);
  if (!bus) return "";
  GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                                                "org.freedesktop.login1.Manager", "ListInhibitors", nullptr,
                                                G_VARIANT_TYPE("(a(ssssuu))"), G_DBUS_CALL_FLAGS_NONE, 1000, nullptr,
                                                nullptr);
  g_object_unref(bus);
  if (!reply) return "";
  std::string out;
  GVariantIter* it = nullptr;
  g_variant_get(reply, "(a(ssssuu))", &it);
  const gchar *what, *who, *why, *mode;
  guint32 uid, pid;
  while (g_variant_iter_next(it, "(&s&s&s&suu)", &what, &who, &why, &mode, &uid, &pid)) {
    // The program's own delay lock for sleep (power events) is always there.
    if (std::string(mode) == "block") out += std::string(what) + "/" + who + ";";
  }
  g_variant_iter_free(it);
  g_variant_unref(reply);
  return out;
}

// The page's natives in one go: what each returns or throws.
const char* kNatives = R"JS((function(){
  function err(f){ try { var v = f(); return 'returned ' + JSON.stringify(v); } catch(e) { return e.message; } }
  var r = {}, path = DIR + '/t.bin';
  r.noKey = err(function(){ return app.getFolderPath(); });
  r.explorer5 = err(function(){ return app.explorer(5); });
  r.lower = err(function(){ return app.getFolderPath('documents'); });
  r.made = app.makeSpecifyFolder(DIR + '/x/y');
  var f = app.fileOpen(path, 'w+b');
  r.type = f.type;
  r.write = app.fileWrite(f, [0, 255]);
  r.refused = err(function(){ return app.fileWrite(f, [1, 256]); });
  app.fileSeek({type: 'FILE', handle: f.handle}, 0, 0);
  r.read = app.fileRead(f, 10);
  r.origin = err(function(){ return app.fileSeek(f, 0, 3); });
  r.closed = typeof app.fileClose(f);
  r.again = err(function(){ return app.fileClose(f); });
  var p = app.fileOpen(path + '.txt', 'w'); app.filePuts(p, 'ab\n'); app.fileClose(p);
  var g = app.fileOpen(path + '.txt', 'r');
  r.line = app.fileGets(g).length;
  r.eof = typeof app.fileGets(g);
  var w = app.fileOpen(path + '.big', 'wb');
  r.maxWrite = app.fileWrite(w, new Array(199996).fill(1));
  r.overWrite = err(function(){ return app.fileWrite(w, new Array(199997).fill(1)); });
  app.fileClose(w);
  function nest(n){ var v = 'x'; for (var i = 0; i < n; ++i) v = [v]; return v; }
  r.deepest = err(function(){ return app.getFolderPath(nest(64)); });
  r.tooDeep = err(function(){ return app.getFolderPath(nest(65)); });
  var loop = {}; loop.self = loop;
  r.loop = err(function(){ return app.explorer(loop); });
  r.sibling = err(function(){ return app.getSettingsVlb1Tool(); });
  r.appDoc = app.getFolderPath('AppDoc');
  r.running = app.isRunningVlb1Tool();
  r.state = app.setThreadExecutionState({continuous: true, systemRequired: true});
  return JSON.stringify(r);
})())JS";

}  // namespace

TEST(HostProgram, PageCallsEveryKindOfHostFunction) {
  ProgramConfig config = linkmeter::testing::SelfTestConfig("exe");
  // A replacement string table: the page process follows it as the
  // workspace does (folders 1003 and 1004; 1001 picks the sibling's folder).
  std::ofstream(config.replacementTable) << "[Strings]\n1001=C.UTF-8\n1003=Test Co\n1004=Gauge \xe3\x88\xb1\n";
  const fs::path docs = linkmeter::testing::ProgramTestRoot() / "home" / "Documents";
  const fs::path sibling = docs / "Vantor Corp" / "VELA for Windows" / "Settings" / "BaseUnit.dat";
  fs::create_directories(sibling.parent_path());
  std::ofstream(sibling) << "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><BaseUnit><SETF><NAME>\x87\x40</NAME></SETF></BaseUnit>";
  // A file as media written on Windows name it: CP932 bytes (あ.csv).
  const fs::path media = linkmeter::testing::ProgramTestRoot() / "media";
  const std::string cp932Name = (media / "\x82\xa0.csv").string();
  fs::create_directories(media);
  std::ofstream(cp932Name) << "LM";
  std::unique_ptr<Steps> steps;
  config.onStarted = [&] { steps->Start(); };
  LinkmeterApp app(config, linkmeter::shell::ProcessObjectsOnce());
  steps = std::make_unique<Steps>(app);
  auto window = [&] { return GTK_WINDOW(app.Frame()->Window()); };
  auto ui = [] { return std::dynamic_pointer_cast<Sorrel::Js::gtk::GtkHostUi>(Sorrel::Js::CurrentUi()); };
  const std::string dir = (linkmeter::testing::ProgramTestRoot() / "files").string();
  fs::create_directories(dir);

  steps->AddJs("page", "String(typeof app == 'object' && typeof app.fileOpen == 'function')", "true");
  // The window process (where the site records open) follows the table too.
  steps->Add("window's workspace", [&] {
    // On disk the folder takes GLib's file-name encoding (CP932 in one run).
    return Sorrel::Js::AppDocumentsFolder() ==
           Sorrel::Js::TextToFileName((docs / "Test Co" / "Gauge \xe3\x88\xb1").string()).value_or("");
  });
  std::string natives = kNatives;
  natives.replace(natives.find("DIR + '/t.bin'"), 3, "'" + dir + "'");
  natives.replace(natives.find("DIR + '/x/y'"), 3, "'" + dir + "'");
  steps->AddJs("natives", natives, "*");
  // With a logind stand-in on the bus (LM_EXPECT_LOGIND), the page's
  // keep-awake request ends up as a lock the UI process holds.
  if (std::getenv("LM_EXPECT_LOGIND"))
    steps->Add("lock held", [] { return LogindLocks() == "sleep/Linkmeter;"; });
  steps->AddJs("size", "app.jsQuery('JsSetWindowSize', {w: null, h: 333}, function(v){ window.__size = 'ok'; },"
                       " function(e){ window.__size = JSON.stringify(e); }); 'sent'", "sent");
  steps->AddJs("size answer", "String(window.__size)", "ok");
  steps->Add("size applied", [&] {
    int w = 0, h = 0;
    gtk_window_get_size(window(), &w, &h);
    return h == 333;
  });
  steps->AddJs("title", "app.setWindowText('Survey 1'); 'sent'", "sent");
  steps->Add("title applied", [&] { return std::string(gtk_window_get_title(window())) == "Survey 1"; });
  steps->Add("hooks", [&] {
    ui()->SetShownHook([cp932Name](GtkWidget* w) {
      if (GTK_IS_FILE_CHOOSER_DIALOG(w)) {
        // Chosen once the folder has loaded, as a user would.
        g_object_set_data_full(G_OBJECT(w), "lm-test-chosen", g_strdup(cp932Name.c_str()), g_free);
        g_timeout_add(400, +[](gpointer p) -> gboolean {
          auto* d = static_cast<GtkWidget*>(p);
          auto* name = static_cast<const char*>(g_object_get_data(G_OBJECT(d), "lm-test-chosen"));
          gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(d), name);
          gtk_dialog_response(GTK_DIALOG(d), GTK_RESPONSE_ACCEPT);
          g_object_unref(d);
          return G_SOURCE_REMOVE;
        }, g_object_ref(w));
      } else if (GTK_IS_MESSAGE_DIALOG(w)) {
        gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_NO);
      } else if (GTK_IS_MENU(w)) {
        GList* items = gtk_container_get_children(GTK_CONTAINER(w));
        gtk_menu_shell_activate_item(GTK_MENU_SHELL(w), GTK_WIDGET(g_list_last(items)->data), TRUE);
        g_list_free(items);
      }
    });
    return true;
  });
  steps->AddJs("msgbox", "app.msgbox({btn: 2, msg: 'Sure?'}, function(v){ window.__mb = v; }); 'sent'", "sent");
  steps->AddJs("msgbox answer", "String(window.__mb)", "4");
  steps->AddJs("menu", "app.showContextMenu({menu: [{}, {name: 'A', id: 7}], pos: {x: 10, y: 10}},"
                       " function(v){ window.__menu = v; }); 'sent'", "sent");
  steps->AddJs("menu answer", "String(window.__menu)", "7");
  // Every query is answered once: a chosen name with no text form (CP932
  // bytes under UTF-8 file names) fails clearly instead of leaving the page
  // waiting; with G_FILENAME_ENCODING=CP932 it is converted and opens the file.
  const gchar** charsets = nullptr;
  g_get_filename_charsets(&charsets);
  const bool cp932 = std::string(charsets[0]) == "CP932";
  steps->AddJs("file dialog",
               "app.fileDialog({mode: 'open', initDir: '" + media.string() + "'},"
               " function(v){ var f = app.fileOpen(v[0], 'rb'); window.__fd = 'ok ' + app.fileRead(f, 4).length;"
               " app.fileClose(f); }, function(e){ window.__fd = 'fail ' + e.code1 + ' ' + e.api; }); 'sent'",
               "sent");
  steps->AddJs("file dialog answer", "String(window.__fd)", cp932 ? "ok 2" : "fail -4 JsFileDialog");
  // A query argument nested deeper than the request text allows is refused, saying why.
  steps->AddJs("deep query",
               "var v = 'x'; for (var i = 0; i < 101; ++i) v = [v];"
               " app.msgbox({msg: v}, function(){ window.__deep = 'ok'; },"
               " function(e){ window.__deep = 'fail ' + e.code1 + ' ' + e.msg; }); 'sent'",
               "sent");
  steps->AddJs("deep query answer", "String(window.__deep)", "fail 0 Invalid arguments : the argument is nested deeper than 100 levels");
  steps->AddJs("bad size", "app.setWindowSize(5); 'sent'", "sent");
  // The normal close path: the pages are asked, then the window closes and
  // Run returns.
  steps->Add("exit", [&] {
    Eval(app.Client()->MainView(), "app.exit(false); 'sent'", std::make_shared<std::string>());
    return true;
  });

  int argc = 0;
  char** argv = nullptr;
  EXPECT_EQ(app.Run(argc, argv), 0);
  EXPECT_TRUE(steps->Finished()) << "stuck at " << steps->Stuck() << ": " << steps->results_[steps->Stuck()];
  auto r = lm::json::Parse(steps->results_["natives"]);
  ASSERT_TRUE(r && r->is<lm::json::Object>()) << steps->results_["natives"];
  const auto& o = r->get<lm::json::Object>();
  auto text = [&](const char* k) { return o.count(k) ? lm::json::ToText(o.at(k)) : std::string("missing"); };
  EXPECT_EQ(text("noKey"),
            R"("{\"api\":\"app.getFolderPath\",\"code1\":0,\"msg\":\"Invalid arguments : 'key' is not found.\"}")");
  EXPECT_EQ(text("explorer5"),
            R"("{\"api\":\"app.explorer\",\"code1\":0,\"msg\":\"Invalid arguments : 'filepath' must have type string.\"}")");
  EXPECT_EQ(text("lower"), R"("{\"api\":\"app.getFolderPath\",\"code1\":-1,\"msg\":\"Invalid arguments : key\"}")");
  EXPECT_EQ(text("made"), "true");
  EXPECT_EQ(text("type"), "\"FILE\"");
  EXPECT_EQ(text("write"), "2");
  EXPECT_EQ(text("refused"), R"("{\"api\":\"app.fileWrite\",\"code1\":-4,\"msg\":\"Invalid arguments\"}")");
  EXPECT_EQ(text("read"), "[0,255]");
  EXPECT_EQ(text("origin"), R"("{\"api\":\"app.fileSeek\",\"code1\":-9,\"msg\":\"Invalid arguments\"}")");
  EXPECT_EQ(text("closed"), "\"undefined\"");
  EXPECT_EQ(text("again"), R"("{\"api\":\"app.fileClose\",\"code1\":-3,\"msg\":\"method error\"}")");
  EXPECT_EQ(text("line"), "3");
  EXPECT_EQ(text("eof"), "\"undefined\"");
  EXPECT_EQ(text("sibling"), R"("returned {\"RSETF\":{}}")");
  // The argument limits: checked before the function's own checks.
  EXPECT_EQ(text("maxWrite"), "199996");
  EXPECT_EQ(text("overWrite"), R"("{\"api\":\"app.fileWrite\",\"code1\":-4,\"msg\":\"Invalid arguments : 'arguments[1]' holds more than 200000 values in all.\"}")");
  EXPECT_EQ(text("deepest"), R"("{\"api\":\"app.getFolderPath\",\"code1\":0,\"msg\":\"Invalid arguments : 'key' must have type string.\"}")");
  EXPECT_EQ(text("tooDeep"), R"("{\"api\":\"app.getFolderPath\",\"code1\":-4,\"msg\":\"Invalid arguments : 'arguments[0]' is nested deeper than 64 levels.\"}")");
  EXPECT_EQ(text("loop"), R"("{\"api\":\"app.explorer\",\"code1\":-4,\"msg\":\"Invalid arguments : 'arguments[0]' contains itself.\"}")");
  ASSERT_TRUE(o.count("appDoc") && o.at("appDoc").is<std::string>());
  EXPECT_EQ(o.at("appDoc").get<std::string>(), (docs / "Test Co" / "Gauge \xe3\x88\xb1").string());
  EXPECT_EQ(text("running"), "false");
  EXPECT_EQ(text("state"), R"({"continuous":true,"displayRequired":false,"systemRequired":false})");
}
