// The host's window, dialog, menu and message-box functions in real GTK
// windows (under Xvfb): queries run on the query workers as in the program,
// dialogs and menus are answered through the UI's shown hook.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "../../cef/BridgeTestSupport.h"
#include "linkmeter/Registration.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/webkit/WebKitBrowser.h"
#include "sorrel/com/ComServices.h"
#include "sorrel/js/ShellFunctions.h"
#include "sorrel/js/gtk/GtkHostUi.h"
#include "vcomm/Library.h"

using Sorrel::Js::gtk::GtkHostUi;

namespace {

// Runs the main loop until `done` holds or the time is up.
template <typename Pred>
bool SpinUntil(Pred done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    g_main_context_iteration(nullptr, FALSE);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// Answers the dialog after its folder has had time to load; `first` runs
// just before the answer (a selection is kept only once the folder is shown).
void RespondLater(GtkWidget* dialog, int response, std::function<void(GtkWidget*)> first = {}) {
  struct Later {
    GtkWidget* dialog;
    int response;
    std::function<void(GtkWidget*)> first;
  };
  g_object_ref(dialog);
  g_timeout_add(400, +[](gpointer p) -> gboolean {
    auto* later = static_cast<Later*>(p);
    if (later->first) later->first(later->dialog);
    gtk_dialog_response(GTK_DIALOG(later->dialog), later->response);
    g_object_unref(later->dialog);
    delete later;
    return G_SOURCE_REMOVE;
  }, new Later{dialog, response, std::move(first)});
}

class HostGui : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    linkmeter::RegisterPageFunctions(manager_, *devices_);
    router_ = new Sorrel::cef::BsmsgRouter(*tasks_);
    router_->AttachFactory(manager_.SharedFactory());
  }
  void SetUp() override {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    view_ = webkit_web_view_new();
    gtk_container_add(GTK_CONTAINER(window_), view_);
    gtk_window_set_default_size(GTK_WINDOW(window_), 400, 300);
    gtk_window_move(GTK_WINDOW(window_), 40, 50);
    gtk_widget_show_all(window_);
    g_signal_connect(window_, "delete-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) -> gboolean {
                       ++static_cast<HostGui*>(self)->closeRequests_;
                       return TRUE;  // the window stays
                     }),
                     this);
    ASSERT_TRUE(SpinUntil([&] { return Size().first == 400; }));
    browser_ = Sorrel::cef::webkit::WebKitBrowser::Create(WEBKIT_WEB_VIEW(view_), mainLoop_);
    GtkHostUi::Options options;
    options.mainWindow = [this] { return GTK_WINDOW(window_); };
    options.exit = [this](bool force) { exits_.push_back(force); };
    ui_ = std::make_shared<GtkHostUi>(manager_, mainLoop_, options);
    Sorrel::Js::InstallUi(ui_);
  }
  void TearDown() override {
    Sorrel::Js::InstallUi(nullptr);
    ui_.reset();
    browser_->Detach();
    browser_.reset();
    gtk_widget_destroy(window_);
    SpinUntil([] { return false; }, std::chrono::milliseconds(20));
  }

  // Sends a query and runs the main loop until it is answered.
  std::string Query(const std::string& name, const std::string& arg) {
    auto cb = std::make_shared<bridge_test::RecordingCallback>();
    EXPECT_TRUE(router_->OnQuery(browser_, ++id_, "jsquery:" + name + " " + arg, false, cb));
    EXPECT_TRUE(SpinUntil([&] { return cb->Count() > 0; }, std::chrono::seconds(10))) << name;
    if (cb->Count() == 0) return "no answer";
    auto a = cb->Answers().at(0);
    std::string text = a.success ? "ok " + a.text : "fail " + std::to_string(a.code) + " " + a.text;
    for (size_t at = text.find("\\/"); at != std::string::npos; at = text.find("\\/", at)) text.erase(at, 1);
    return text;
  }
  std::pair<int, int> Size() const {
    int w = 0, h = 0;
    gtk_window_get_size(GTK_WINDOW(window_), &w, &h);
    return {w, h};
  }
  std::pair<int, int> Position() const {
    int x = 0, y = 0;
    gtk_window_get_position(GTK_WINDOW(window_), &x, &y);
    return {x, y};
  }

  static inline Sorrel::Com::ComServices* devices_ = new Sorrel::Com::ComServices();  // kept, like the manager
  static inline Sorrel::cef::Manager manager_;
  static inline Sorrel::cef::QueryTaskGroup* tasks_ = new Sorrel::cef::QueryTaskGroup();  // outlives the router
  static inline Sorrel::cef::BsmsgRouter* router_ = nullptr;
  GtkWidget* window_ = nullptr;
  GtkWidget* view_ = nullptr;
  std::shared_ptr<Sorrel::cef::webkit::WebKitBrowser> browser_;
  std::shared_ptr<Sorrel::cef::webkit::LoopPoster> mainLoop_ =
      std::make_shared<Sorrel::cef::webkit::LoopPoster>(g_main_context_default());
  std::shared_ptr<GtkHostUi> ui_;
  std::vector<bool> exits_;
  int closeRequests_ = 0;
  int64_t id_ = 0;
};

TEST_F(HostGui, SizeKeepsTheSideGivenAsNull) {
  EXPECT_EQ(Query("JsSetWindowSize", R"({"w":null,"h":240})"), "ok null");
  EXPECT_TRUE(SpinUntil([&] { return Size() == std::make_pair(400, 240); })) << Size().first << "x" << Size().second;
  EXPECT_EQ(Query("JsSetWindowSize", R"({"w":320,"h":null})"), "ok null");
  EXPECT_TRUE(SpinUntil([&] { return Size() == std::make_pair(320, 240); })) << Size().first << "x" << Size().second;
}

TEST_F(HostGui, PositionAndRelativeMove) {
  const int x0 = Position().first;
  EXPECT_EQ(Query("JsSetWindowPos", R"({"x":null,"y":0})"), "ok null");
  EXPECT_TRUE(SpinUntil([&] { return Position() == std::make_pair(x0, 0); }));
  EXPECT_EQ(Query("JsMoveWindow", R"({"x":30,"y":20})"), "ok null");
  EXPECT_TRUE(SpinUntil([&] { return Position() == std::make_pair(x0 + 30, 20); }));
  EXPECT_EQ(Query("JsMoveWindow", R"({"x":30})"), R"(fail -1 {"code1":-1,"msg":"Invalid arguments : 'y' is not found."})");
}

TEST_F(HostGui, CentreOverTheDesktop) {
  GdkRectangle screen;
  gdk_monitor_get_geometry(gdk_display_get_primary_monitor(gdk_display_get_default())
                               ? gdk_display_get_primary_monitor(gdk_display_get_default())
                               : gdk_display_get_monitor(gdk_display_get_default(), 0),
                           &screen);
  EXPECT_EQ(Query("JsCenterWindow", R"({"desktop":true})"), "ok null");
  const auto want = std::make_pair(screen.x + (screen.width - 400) / 2, screen.y + (screen.height - 300) / 2);
  EXPECT_TRUE(SpinUntil([&] { return Position() == want; })) << Position().first << "," << Position().second;
}

TEST_F(HostGui, TitleCloseAndExit) {
  EXPECT_EQ(Query("JsSetWindowText", R"("Survey 日本")"), "ok null");
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window_)), "Survey 日本");
  EXPECT_EQ(Query("JsCloseWindow", R"({"0":{"saved":true}})"), "ok null");
  EXPECT_TRUE(SpinUntil([&] { return closeRequests_ == 1; }));
  EXPECT_EQ(lm::json::ToText(GtkHostUi::ClosingValue(view_)), R"({"saved":true})");
  EXPECT_EQ(Query("JsExit", R"({"force_exit":false})"), "ok null");
  EXPECT_EQ(Query("JsExit", ""), "ok null");
  EXPECT_EQ(exits_, (std::vector<bool>{false, true}));
}

TEST_F(HostGui, MessageBoxAnswersThePressedButton) {
  std::string shownText;
  ui_->SetShownHook([&](GtkWidget* dialog) {
    shownText = gtk_window_get_title(GTK_WINDOW(dialog));
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_NO);
  });
  EXPECT_EQ(Query("JsMsgbox", R"({"btn":2,"icon":3,"title":"Delete?","msg":"Really?"})"), "ok 4");
  EXPECT_EQ(shownText, "Delete?");
  ui_->SetShownHook([&](GtkWidget* dialog) { gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK); });
  EXPECT_EQ(Query("JsMsgbox", R"({"msg":"Done"})"), "ok 1");
  EXPECT_EQ(Query("JsMsgbox", R"({"btn":3})"), R"(fail 0 {"code1":0,"msg":"Invalid arguments : btn"})");
}

TEST_F(HostGui, ContextMenuAnswersTheChosenId) {
  int items = 0;
  ui_->SetShownHook([&](GtkWidget* menu) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
    items = static_cast<int>(g_list_length(children));
    if (items == 2) gtk_menu_shell_activate_item(GTK_MENU_SHELL(menu), GTK_WIDGET(g_list_nth_data(children, 1)), TRUE);
    g_list_free(children);
  });
  EXPECT_EQ(Query("JsShowContextMenu", R"({"menu":[{},{"name":"A","id":7}],"pos":{"x":10,"y":10}})"), "ok 7");
  EXPECT_EQ(items, 2);
  ui_->SetShownHook([&](GtkWidget* menu) { gtk_menu_shell_cancel(GTK_MENU_SHELL(menu)); });
  EXPECT_EQ(Query("JsShowContextMenu", R"({"menu":[{"name":"A","id":7}],"alignH":"right"})"), "ok 0");
}

TEST_F(HostGui, FileAndFolderChoosers) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("lm-js-gui-" + std::to_string(::getpid()));
  fs::create_directories(dir / "sub");
  std::ofstream(dir / "a.csv") << "x";
  ui_->SetShownHook([&](GtkWidget* dialog) {
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), "out.csv");
    RespondLater(dialog, GTK_RESPONSE_ACCEPT);
  });
  EXPECT_EQ(Query("JsFileDialog", R"({"mode":"save","initDir":")" + dir.string() + R"(","filter":["CSV","*.csv"]})"),
            "ok [\"" + (dir / "out.csv").string() + "\"]");
  ui_->SetShownHook([&](GtkWidget* dialog) { gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL); });
  EXPECT_EQ(Query("JsFileDialog", R"({"mode":"open","multiSelect":true})"), "ok []");
  EXPECT_EQ(Query("JsBrowseForFolder", R"({"title":"Pick"})"), "ok null");
  ui_->SetShownHook([&](GtkWidget* dialog) {
    gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(dialog), (dir / "sub").c_str());
    RespondLater(dialog, GTK_RESPONSE_ACCEPT);
  });
  const std::string folder = Query("JsBrowseForFolder", R"({"initDir":")" + dir.string() + R"("})");
  EXPECT_TRUE(folder == "ok \"" + (dir / "sub").string() + "\"" || folder == "ok \"" + dir.string() + "\"") << folder;
  fs::remove_all(dir);
}

// Media written on Windows carry CP932 names. Under GLib's default (UTF-8)
// file names such a name has no text form: the query fails clearly and no
// look-alike path is answered. Run with G_FILENAME_ENCODING=CP932 the same
// name is answered converted, and that text names the same file again.
TEST_F(HostGui, ChoosersAnswerNamesByGlibFileNameRules) {
  namespace fs = std::filesystem;
  const gchar** charsets = nullptr;
  g_get_filename_charsets(&charsets);
  const bool cp932 = std::string(charsets[0]) == "CP932";
  const fs::path dir = fs::temp_directory_path() / ("lm-js-names-" + std::to_string(::getpid()));
  const std::string file = "\x82\xa0.csv", folder = "\x82\xa2";  // あ.csv and い in CP932
  fs::create_directories(dir / folder);
  std::ofstream(dir / file) << "x";
  const struct {
    const char* query;
    std::string arg, chosen, answerCp932, answerUtf8;
  } cases[] = {
      {"JsFileDialog", R"({"mode":"open","initDir":")" + dir.string() + R"("})", file,
       "ok [\"" + dir.string() + "/\xe3\x81\x82.csv\"]",
       "fail 0 {\"code1\":-4,\"msg\":\"method error : the file name cannot be represented as text: " + dir.string() +
           "/\xef\xbf\xbd\xef\xbf\xbd.csv\"}"},
      // A name proposed for saving is text, whatever the file names are.
      {"JsFileDialog", R"({"mode":"save","initFile":"\u3046.csv","initDir":")" + dir.string() + R"("})", "",
       "ok [\"" + dir.string() + "/\xe3\x81\x86.csv\"]", "ok [\"" + dir.string() + "/\xe3\x81\x86.csv\"]"},
      {"JsBrowseForFolder", R"({"initDir":")" + dir.string() + R"("})", folder,
       "ok \"" + dir.string() + "/\xe3\x81\x84\"",
       "fail 0 {\"code1\":-3,\"msg\":\"method error : the file name cannot be represented as text: " + dir.string() +
           "/\xef\xbf\xbd\xef\xbf\xbd\"}"},
  };
  for (const auto& c : cases) {
    const std::string chosen = c.chosen.empty() ? std::string() : (dir / c.chosen).string();
    ui_->SetShownHook([&](GtkWidget* dialog) {
      RespondLater(dialog, GTK_RESPONSE_ACCEPT, [chosen](GtkWidget* shown) {
        if (!chosen.empty()) gtk_file_chooser_set_filename(GTK_FILE_CHOOSER(shown), chosen.c_str());
      });
    });
    const std::string answer = Query(c.query, c.arg);
    EXPECT_EQ(answer, cp932 ? c.answerCp932 : c.answerUtf8) << c.query;
    if (cp932 && !chosen.empty() && answer.rfind("ok ", 0) == 0) {
      // The answered text leads back to the very file on disk.
      const size_t start = answer.find(dir.string());
      const std::string text = answer.substr(start, answer.find('"', start) - start);
      gchar* name = g_filename_from_utf8(text.c_str(), -1, nullptr, nullptr, nullptr);
      EXPECT_EQ(name ? std::string(name) : std::string(), chosen);
      g_free(name);
    }
  }
  fs::remove_all(dir);
}

TEST_F(HostGui, OpenChooserAnswersEveryChosenFile) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("lm-js-multi-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  for (const char* name : {"a.csv", "b.csv", "c.txt"}) std::ofstream(dir / name) << name;
  ui_->SetShownHook([&](GtkWidget* dialog) {
    EXPECT_TRUE(gtk_file_chooser_get_select_multiple(GTK_FILE_CHOOSER(dialog)));
    // Everything the filter shows: both CSV files, not c.txt.
    RespondLater(dialog, GTK_RESPONSE_ACCEPT,
                 [](GtkWidget* shown) { gtk_file_chooser_select_all(GTK_FILE_CHOOSER(shown)); });
  });
  const std::string answer =
      Query("JsFileDialog", R"({"mode":"open","multiSelect":true,"filter":["CSV","*.csv"],"initDir":")" + dir.string() + R"("})");
  EXPECT_TRUE(answer == "ok [\"" + (dir / "a.csv").string() + "\",\"" + (dir / "b.csv").string() + "\"]" ||
              answer == "ok [\"" + (dir / "b.csv").string() + "\",\"" + (dir / "a.csv").string() + "\"]")
      << answer;
  fs::remove_all(dir);
}

// The desktop of these tests (see main): text/csv opens with a recording
// application, nothing else has one.
TEST_F(HostGui, ExplorerUsesTheDefaultApplicationElseTheChooser) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(g_getenv("LM_TEST_DESKTOP"));
  const fs::path csv = dir / "site.csv", unknown = dir / "dump.lmraw";
  std::ofstream(csv) << "a,b\n";
  std::ofstream(unknown, std::ios::binary) << std::string("\x00\x01\x02\xff", 4);
  const auto opener = Sorrel::Js::DesktopFileOpener();
  ASSERT_TRUE(opener.openDefault(csv.string()));
  const fs::path record = dir / "opened.txt";
  EXPECT_TRUE(SpinUntil([&] { return fs::exists(record) && fs::file_size(record) > 0; }));
  std::ifstream in(record);
  std::string opened;
  std::getline(in, opened);
  EXPECT_EQ(opened, csv.string());

  EXPECT_FALSE(opener.openDefault(unknown.string()));
  bool chooser = false;
  ui_->SetShownHook([&](GtkWidget* dialog) {
    chooser = GTK_IS_APP_CHOOSER_DIALOG(dialog);
    RespondLater(dialog, GTK_RESPONSE_CANCEL);
  });
  EXPECT_EQ(Query("JsOpenWith", R"({"path":")" + unknown.string() + R"("})"), "ok null");
  EXPECT_TRUE(SpinUntil([&] { return chooser; }));
  SpinUntil([] { return false; }, std::chrono::milliseconds(600));  // the chooser answers and goes
  std::ifstream again(record);
  int lines = 0;
  for (std::string line; std::getline(again, line);) ++lines;
  EXPECT_EQ(lines, 1) << "cancelling the chooser launched something";
}

TEST_F(HostGui, WindowFunctionsFromManyQueriesAtOnce) {
  std::vector<std::shared_ptr<bridge_test::RecordingCallback>> callbacks;
  for (int i = 0; i < 24; ++i) {
    auto cb = std::make_shared<bridge_test::RecordingCallback>();
    const std::string request = i % 3 == 0   ? "jsquery:JsSetWindowText \"t" + std::to_string(i) + "\""
                                : i % 3 == 1 ? "jsquery:JsSetWindowSize {\"w\":" + std::to_string(300 + i) + ",\"h\":200}"
                                             : "jsquery:JsMoveWindow {\"x\":1,\"y\":1}";
    ASSERT_TRUE(router_->OnQuery(browser_, ++id_, request, false, cb));
    callbacks.push_back(cb);
  }
  EXPECT_TRUE(SpinUntil([&] {
    for (auto& cb : callbacks)
      if (cb->Count() == 0) return false;
    return true;
  }, std::chrono::seconds(20)));
  for (auto& cb : callbacks) EXPECT_EQ(cb->Answers().at(0).text, "null");
}

}  // namespace

// A desktop of the test's own: one application, the default for text/csv,
// that writes the file it was given into opened.txt; the MIME database,
// settings schemas and themes are the system's.
void MakeTestDesktop() {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("lm-js-desktop-" + std::to_string(::getpid()));
  fs::create_directories(root / "share/applications");
  fs::create_directories(root / "config");
  std::error_code ignored;
  for (const char* shared : {"mime", "glib-2.0", "icons", "themes"})
    fs::create_directory_symlink(fs::path("/usr/share") / shared, root / "share" / shared, ignored);
  std::ofstream(root / "share/applications/lm-record.desktop")
      << "[Desktop Entry]\nType=Application\nName=Record\nMimeType=text/csv;\n"
      << "Exec=/bin/sh -c 'echo \"$1\" >> " << (root / "opened.txt").string() << "' sh %f\n";
  std::ofstream(root / "config/mimeapps.list") << "[Default Applications]\ntext/csv=lm-record.desktop\n";
  g_setenv("XDG_DATA_HOME", (root / "share").c_str(), TRUE);
  g_setenv("XDG_DATA_DIRS", (root / "share").c_str(), TRUE);
  g_setenv("XDG_CONFIG_HOME", (root / "config").c_str(), TRUE);
  g_setenv("LM_TEST_DESKTOP", root.c_str(), TRUE);
}

int main(int argc, char** argv) {
  vcomm::Library vcommLibrary;  // the process's device connections
  ::testing::InitGoogleTest(&argc, argv);
  MakeTestDesktop();
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "no display: run under xvfb-run\n");
    return 1;
  }
  const int rc = RUN_ALL_TESTS();
  std::filesystem::remove_all(g_getenv("LM_TEST_DESKTOP"));
  return rc;
}
