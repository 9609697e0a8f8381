#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <unistd.h>

#include "../cef/BridgeTestSupport.h"
#include "NativeTestSupport.h"
#include "linkmeter/Registration.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComServices.h"
#include "sorrel/js/DialogFunctions.h"
#include "sorrel/js/Folders.h"
#include "sorrel/js/HostUi.h"
#include "sorrel/js/Sibling.h"
#include "sorrel/js/ShellFunctions.h"
#include "sorrel/js/UiRequests.h"

using namespace Sorrel::Js;
using js_test::CallNative;
using js_test::J;

namespace {

// A user interface that records what the functions asked of it.
class FakeUi : public HostUi, public HostWindow {
 public:
  bool Call(const std::function<void()>& work) override {
    work();
    return true;
  }
  bool Post(std::function<void()> work) override {
    work();
    return true;
  }
  HostWindow* CallingWindow(const Sorrel::cef::BrowserPtr&) override { return window ? this : nullptr; }
  bool HasMainWindow() override { return window; }
  void PostExit(bool force) override { Log(force ? "exit forced" : "exit"); }
  bool HasClient(const Sorrel::cef::BrowserPtr&) override { return window; }
  void SetClosingValue(const Sorrel::cef::BrowserPtr&, const lm::json::Value& v) override {
    Log("closing value " + lm::json::ToText(v));
  }
  void ShowFileDialog(const FileDialogRequest& r, std::function<void(std::vector<std::string>)> done) override {
    Log(std::string(r.save ? "save" : "open") + (r.multiSelect ? " multi" : "") + " filters " +
        std::to_string(r.filters.size()));
    // Names as the file system has them: a medium written on Windows holds CP932 bytes.
    if (r.title == "cp932") return done({"/a/1.csv", "/m/\x82\xa0.csv"});
    if (r.title == "utf8") return done({"/m/\xe3\x81\x82.csv"});
    done({"/a/1.csv", "/a/2.csv"});
  }
  std::optional<std::string> ChooseFolder(const std::string& title, const std::string&) override {
    if (title == "cp932") return "/m/\x82\xa0";
    return title == "cancel" ? std::nullopt : std::optional<std::string>("/chosen");
  }
  double Scale(const Sorrel::cef::BrowserPtr&) override { return 1.5; }
  void Focus(const Sorrel::cef::BrowserPtr&) override { Log("focus"); }
  void PopupMenu(const Sorrel::cef::BrowserPtr&, const std::vector<MenuItem>& menu, const MenuPlacement& p,
                 std::function<void(uint32_t)> done) override {
    Log("menu " + std::to_string(menu.size()) + " at " + std::to_string(p.point ? p.point->first : -1));
    done(menu.size() > 1 ? menu[1].id : 0);
  }
  void ChooseApplication(const std::string& path) override { Log("choose " + path); }
  int32_t MessageBox(const MessageBoxRequest& r) override { return r.buttons == 2 ? 4 : 1; }

  void SetClientSize(std::optional<int32_t> w, std::optional<int32_t> h) override {
    Log("size " + Opt(w) + " " + Opt(h));
  }
  void SetPosition(std::optional<int32_t> x, std::optional<int32_t> y) override { Log("pos " + Opt(x) + " " + Opt(y)); }
  void MoveBy(int32_t dx, int32_t dy) override { Log("move " + std::to_string(dx) + " " + std::to_string(dy)); }
  void SetTitle(const std::string& t) override { Log("title " + t); }
  void Center(bool desktop) override { Log(desktop ? "center desktop" : "center parent"); }
  void PostClose() override { Log("close"); }

  std::vector<std::string> Taken() {
    std::lock_guard lock(mutex_);
    return std::exchange(log_, {});
  }
  bool window = true;

 private:
  static std::string Opt(std::optional<int32_t> v) { return v ? std::to_string(*v) : "keep"; }
  void Log(std::string s) {
    std::lock_guard lock(mutex_);
    log_.push_back(std::move(s));
  }
  std::mutex mutex_;
  std::vector<std::string> log_;
};

class HostQueries : public ::testing::Test {
 protected:
  void SetUp() override {
    linkmeter::RegisterPageFunctions(manager_, devices_);
    router_.AttachFactory(manager_.SharedFactory());
    InstallUi(ui_);
  }
  void TearDown() override {
    router_.Shutdown();
    InstallUi(nullptr);
  }
  // "ok <text>" or "fail <code> <text>".
  std::string Query(const std::string& name, const std::string& arg) {
    return js_test::AskRouter(router_, browser_, ++id_, name + " " + arg);
  }

  Sorrel::Com::ComServices devices_;
  Sorrel::cef::Manager manager_;
  Sorrel::cef::QueryTaskGroup tasks_;
  Sorrel::cef::BsmsgRouter router_{tasks_};
  std::shared_ptr<bridge_test::FakeBrowser> browser_ = std::make_shared<bridge_test::FakeBrowser>();
  std::shared_ptr<FakeUi> ui_ = std::make_shared<FakeUi>();
  int64_t id_ = 0;
};

TEST_F(HostQueries, RegisteredInOrderWithTheirPageTexts) {
  std::vector<std::string> natives;
  for (const auto& n : manager_.NativeHandlers()) natives.push_back(n->ScriptName() + "=" + n->NativeName());
  const std::vector<std::string> first{
      "app.explorer=JsExplorer", "app.getFolderPath=JsGetFolderPath", "app.makeSpecifyFolder=JsMakeSpecifyFolder",
      "app.setThreadExecutionState=JsSetThreadExecutionState", "app.fileOpen=FileOpen", "app.fileClose=FileClose",
      "app.fileWrite=FileWrite", "app.fileRead=FileRead", "app.fileGets=FileGets", "app.filePuts=FilePuts",
      "app.fileSeek=FileSeek", "app.isExistFile=IsExistFile", "app.isExistDir=IsExistDir"};
  ASSERT_GE(natives.size(), first.size() + 2);
  EXPECT_EQ(std::vector<std::string>(natives.begin(), natives.begin() + first.size()), first);
  EXPECT_EQ(natives[natives.size() - 2], "app.isRunningVlb1Tool=JsIsRunningVlb1Tool");
  EXPECT_EQ(natives.back(), "app.getSettingsVlb1Tool=JsGetSettingsVlb1Tool");

  const auto& f = manager_.Factory();
  auto script = [&](const char* q) { return f.Find(q) ? f.Find(q)->Script() : std::string("missing"); };
  EXPECT_EQ(script("JsMsgbox"),
            "app.msgbox = function(arg, onSuccess, onFailure, onProgress){  var id = app.jsQuery('JsMsgbox', arg, "
            "onSuccess, onFailure, onProgress);  return undefined;};");
  EXPECT_EQ(script("JsCloseWindow"), "app.closeWindow = function(){  app.jsQuery('JsCloseWindow', arguments, function(){});};");
  EXPECT_EQ(script("JsSetWindowSize"), "app.setWindowSize = function(w, h){  app.jsQuery('JsSetWindowSize', {w:w, h:h}, function(){});};");
  EXPECT_EQ(script("JsMoveWindow"), "app.moveWindow = function(x, y){  app.jsQuery('JsMoveWindow', {x:x, y:y}, function(){});};");
  EXPECT_EQ(script("JsSetWindowText"), "app.setWindowText = function(title){  app.jsQuery('JsSetWindowText', title, function(){});};");
  EXPECT_EQ(script("JsCenterWindow"), "app.centerWindow = function(desktop){  app.jsQuery('JsCenterWindow', {desktop:desktop}, function(){});};");
  // app.exit wraps its value, so false survives the glue (which drops false arguments).
  EXPECT_EQ(script("JsExit"), "app.exit = function(force_exit){  app.jsQuery('JsExit', {force_exit:force_exit}, function(){});};");
  for (const char* q : {"JsFileDialog", "JsBrowseForFolder", "JsShowContextMenu", "JsSetWindowPos"})
    EXPECT_NE(script(q), "missing") << q;
}

TEST_F(HostQueries, WindowFunctionsCheckTheirArguments) {
  struct Case {
    const char* query;
    const char* arg;
    const char* answer;
    const char* log;
  } cases[] = {
      {"JsExit", "{}", "ok null", "exit forced"},
      {"JsExit", R"({"force_exit":false})", "ok null", "exit"},
      {"JsExit", R"({"force_exit":"no"})", R"(fail 0 {"code1":0,"msg":"Invalid arguments : 'arg' must have type boolean."})", ""},
      {"JsSetWindowSize", R"({"w":null,"h":600})", "ok null", "size keep 600"},
      {"JsSetWindowSize", R"({"w":800})", R"(fail -1 {"code1":-1,"msg":"Invalid arguments : 'h' is not found."})", ""},
      {"JsSetWindowSize", R"({"w":1.5,"h":1})", R"(fail 0 {"code1":0,"msg":"Invalid arguments : w"})", ""},
      {"JsSetWindowSize", "[1]", R"(fail -2 {"code1":-2,"msg":"Invalid arguments : 'arg' must have type object."})", ""},
      {"JsSetWindowPos", R"({"x":null,"y":0})", "ok null", "pos keep 0"},
      {"JsSetWindowPos", R"({"x":2147483648,"y":0})", R"(fail 0 {"code1":0,"msg":"Invalid arguments : x"})", ""},
      {"JsMoveWindow", R"({"x":5,"y":-7})", "ok null", "move 5 -7"},
      {"JsMoveWindow", R"({"x":5})", R"(fail -1 {"code1":-1,"msg":"Invalid arguments : 'y' is not found."})", ""},
      {"JsMoveWindow", R"({"x":5,"y":null})", R"(fail -2 {"code1":-2,"msg":"Invalid arguments : 'y' value is invalid."})", ""},
      {"JsCenterWindow", "{}", "ok null", "center parent"},
      {"JsCenterWindow", R"({"desktop":true})", "ok null", "center desktop"},
      {"JsCenterWindow", R"({"desktop":1})", R"(fail -2 {"code1":-2,"msg":"Invalid arguments : 'desktop' value is invalid."})", ""},
      {"JsSetWindowText", R"("Survey")", "ok null", "title Survey"},
      {"JsSetWindowText", "5", "ok null", "title "},
      {"JsCloseWindow", R"({"0":{"saved":true}})", "ok null", "closing value {\"saved\":true}|close"},
      {"JsCloseWindow", "{}", "ok null", "closing value null|close"},
      {"JsCloseWindow", R"({"0":1,"1":2})", R"(fail 0 {"code1":0,"msg":"Invalid arguments : arguments"})", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Query(c.query, c.arg), c.answer) << c.query << " " << c.arg;
    std::string log;
    for (const auto& s : ui_->Taken()) log += (log.empty() ? "" : "|") + s;
    EXPECT_EQ(log, c.log) << c.query << " " << c.arg;
  }
}

TEST_F(HostQueries, WithoutACallingWindowTheFunctionsSaySo) {
  ui_->window = false;
  EXPECT_EQ(Query("JsSetWindowSize", R"({"w":1,"h":1})"),
            R"(fail 0 {"code1":-1,"msg":"method error : app.setWindowSize"})");
  EXPECT_EQ(Query("JsCloseWindow", "{}"), R"(fail 0 {"code1":-1,"msg":"method error : app.closeWindow"})");
  EXPECT_EQ(Query("JsCenterWindow", "{}"), R"(fail 0 {"code1":-1,"msg":"method error : app.centerWindow"})");
  EXPECT_EQ(Query("JsSetWindowText", R"("t")"), "ok null");
  EXPECT_EQ(Query("JsMsgbox", "{}"), R"(fail 0 {"code1":-1,"msg":"method error"})");
  EXPECT_EQ(Query("JsBrowseForFolder", "{}"), R"(fail -1 {"code1":-1,"msg":"not surpported"})");
  EXPECT_EQ(Query("JsShowContextMenu", R"({"menu":[]})"), R"(fail -1 {"code1":-1,"msg":""})");
}

TEST_F(HostQueries, DialogsAnswerTheUsersChoice) {
  struct Case {
    const char* query;
    const char* arg;
    const char* answer;
  } cases[] = {
      {"JsFileDialog", R"({"mode":"open","multiSelect":true})", R"(ok ["/a/1.csv","/a/2.csv"])"},
      {"JsFileDialog", R"({"mode":"Open"})", R"(fail -3 {"code1":-3,"msg":"Invalid arguments : 'mode' value is invalid."})"},
      {"JsFileDialog", R"({"title":"t"})", R"(fail -2 {"code1":-2,"msg":"Invalid arguments : 'mode' must have type string."})"},
      {"JsFileDialog", R"({"mode":"save","filter":["a",1]})", R"(fail -111 {"code1":-111,"msg":"Invalid arguments"})"},
      {"JsFileDialog", "3", R"(fail -1 {"code1":-1,"msg":"Invalid arguments : 'arg' must have type object."})"},
      {"JsBrowseForFolder", R"({"title":"pick"})", R"(ok "/chosen")"},
      {"JsBrowseForFolder", R"({"title":"cancel"})", "ok null"},
      {"JsBrowseForFolder", "[]", R"(fail -1 {"code1":-1,"msg":"Invalid arguments : 'arg' must have type object."})"},
      // A chosen name with no text form fails; it is never answered as a look-alike path.
      {"JsFileDialog", R"({"mode":"open","title":"cp932"})",
       "fail 0 {\"code1\":-4,\"msg\":\"method error : the file name cannot be represented as text: "
       "/m/\xef\xbf\xbd\xef\xbf\xbd.csv\"}"},
      {"JsFileDialog", R"({"mode":"open","title":"utf8"})", "ok [\"/m/\xe3\x81\x82.csv\"]"},
      {"JsBrowseForFolder", R"({"title":"cp932"})",
       "fail 0 {\"code1\":-3,\"msg\":\"method error : the file name cannot be represented as text: "
       "/m/\xef\xbf\xbd\xef\xbf\xbd\"}"},
      {"JsMsgbox", R"({"btn":2,"icon":3,"msg":"Sure?"})", "ok 4"},
      {"JsMsgbox", R"({"btn":3})", R"(fail 0 {"code1":0,"msg":"Invalid arguments : btn"})"},
      {"JsMsgbox", R"({"icon":5})", R"(fail 0 {"code1":0,"msg":"Invalid arguments : icon"})"},
      {"JsMsgbox", R"({"btn":1.5})", R"(fail -2 {"code1":-2,"msg":"Invalid arguments : 'btn' value is invalid."})"},
      {"JsMsgbox", R"({"title":7})", R"(fail -2 {"code1":-2,"msg":"Invalid arguments : 'title' value is invalid."})"},
      {"JsShowContextMenu", R"({"menu":[{},{"name":"A","id":7}],"pos":{"x":10,"y":0}})", "ok 7"},
      {"JsShowContextMenu", R"({"menu":[{"name":"A"}]})", R"(fail -1 {"code1":-1,"msg":"Invalid arguments : 'id' is not found."})"},
      {"JsShowContextMenu", R"({"menu":[5]})", R"(fail -1 {"code1":-1,"msg":"Invalid arguments : 'menu' must have type object."})"},
      {"JsShowContextMenu", R"({"menu":[{"name":"S","menu":3}]})", R"(fail -2 {"code1":-2,"msg":"Invalid arguments : 'menu' must have type array."})"},
      {"JsShowContextMenu", R"({"menu":[],"pos":3})", R"(fail -2 {"code1":-2,"msg":"Invalid arguments : 'pos' must have type object."})"},
      {"JsShowContextMenu", R"({"menu":[],"pos":{"x":1}})", R"(fail -1 {"code1":-1,"msg":"Invalid arguments : 'pos.y' is not found."})"},
      {"JsShowContextMenu", R"({"menu":[],"alignH":"middle"})", R"(fail -2 {"code1":-2,"msg":"Invalid arguments : 'alignH' value is invalid."})"},
      {"JsShowContextMenu", R"({"pos":{"x":1,"y":1}})", R"(fail -1 {"code1":-1,"msg":"Invalid arguments : 'menu' is not found."})"},
  };
  for (const auto& c : cases) EXPECT_EQ(Query(c.query, c.arg), c.answer) << c.query << " " << c.arg;
  // 10 page pixels at 1.5 device pixels each (144 dpi).
  bool sawMenu = false;
  for (const auto& s : ui_->Taken()) sawMenu = sawMenu || s == "menu 2 at 15";
  EXPECT_TRUE(sawMenu);
}

TEST(DialogArguments, FiltersMenusAndPixels) {
  auto filters = [](const char* json) {
    std::string out;
    for (const auto& [d, p] : BuildFilter(J(json).get<lm::json::Array>())) out += d + "=" + p + ";";
    return out;
  };
  EXPECT_EQ(filters(R"x(["CSV (*.csv)|*.csv"])x"), filters(R"x(["CSV (*.csv)","*.csv"])x"));
  EXPECT_EQ(filters(R"(["CSV|*.csv|All|*.*"])"), "CSV=*.csv;All=*.*;");
  EXPECT_EQ(filters(R"(["CSV|","*.csv"])"), "CSV=*.csv;");
  EXPECT_EQ(filters("[]"), "");
  EXPECT_TRUE(ParseFileDialog(J(R"({"mode":"open","filter":5})")).filters.empty());
  EXPECT_FALSE(ParseFileDialog(J(R"({"mode":"open","multiSelect":1})")).multiSelect);

  auto menu = ParseMenu(J(R"([{},{"name":"Sub","menu":[{"name":"B","id":2,"check":true}]},{"name":"C","id":3,"disable":true}])")
                            .get<lm::json::Array>());
  ASSERT_EQ(menu.size(), 3u);
  EXPECT_EQ(menu[0].kind, MenuItem::Kind::kSeparator);
  EXPECT_EQ(menu[1].kind, MenuItem::Kind::kSubmenu);
  EXPECT_TRUE(menu[1].items.at(0).checked);
  EXPECT_TRUE(menu[2].disabled);

  EXPECT_EQ(DevicePixels(10, 1.5), 15);
  EXPECT_EQ(DevicePixels(-10, 1.5), -15);
  EXPECT_EQ(DevicePixels(1, 1.25), 1);  // (96*1 + 48) / 96 truncated
  EXPECT_EQ(DevicePixels(3, 1.5), 5);   // 4.5 rounds away from zero
}

TEST(ShellNatives, ArgumentsAndFolders) {
  auto folders = std::make_shared<GetFolderPath>();
  folders->AddPath("AppDoc", [] { return std::string("/docs/app"); });
  folders->AddPath("AppDoc", [] { return std::string("/other"); });  // the first one stays
  EXPECT_EQ(CallNative(folders, {"\"AppDoc\""}).Text(), "\"/docs/app\"");
  EXPECT_EQ(CallNative(folders, {}).Text(),
            R"({"api":"app.getFolderPath","code1":0,"msg":"Invalid arguments : 'key' is not found."})");
  EXPECT_EQ(CallNative(folders, {"\"documents\""}).Text(), R"({"api":"app.getFolderPath","code1":-1,"msg":"Invalid arguments : key"})");
  const std::string module = CallNative(folders, {"\"ModuleDir\""}).value.get<std::string>();
  EXPECT_TRUE(std::filesystem::is_directory(module));
  EXPECT_NE(module.back(), '/');

  std::vector<std::string> opened;
  auto explorer = std::make_shared<Explorer>(FileOpener{[&](const std::string& p) {
                                                          opened.push_back("default " + p);
                                                          return p != "/x.unknown";
                                                        },
                                                        [&](const std::string& p) { opened.push_back("choose " + p); }});
  EXPECT_EQ(CallNative(explorer, {"\"/x.csv\""}).Text(), "undefined");
  EXPECT_EQ(CallNative(explorer, {"\"/x.unknown\""}).Text(), "undefined");
  EXPECT_EQ(opened, (std::vector<std::string>{"default /x.csv", "default /x.unknown", "choose /x.unknown"}));
  EXPECT_EQ(CallNative(explorer, {"5"}).Text(),
            R"({"api":"app.explorer","code1":0,"msg":"Invalid arguments : 'filepath' must have type string."})");

  auto make = std::make_shared<MakeSpecifyFolder>();
  const std::string base = std::filesystem::temp_directory_path() / ("lm-js-mk-" + std::to_string(::getpid()));
  EXPECT_EQ(CallNative(make, {"\"" + base + "/a/b\""}).Text(), "true");
  EXPECT_TRUE(std::filesystem::is_directory(base + "/a/b"));
  EXPECT_EQ(CallNative(make, {"\"" + base + "/a/b\""}).Text(), "true");

  std::filesystem::remove_all(base);
  EXPECT_EQ(CallNative(make, {}).Text(), R"({"api":"app.makeSpecifyFolder","code1":-1,"msg":"Invalid arguments"})");
  EXPECT_EQ(CallNative(make, {"1"}).Text(), R"({"api":"app.makeSpecifyFolder","code1":-2,"msg":"Invalid arguments"})");
  EXPECT_EQ(CallNative(make, {"\"\""}).Text(), R"({"api":"app.makeSpecifyFolder","code1":-3,"msg":"Invalid arguments"})");
}

// Paths cross between the page's text and the file system by GLib's
// file-name rules, as the dialogs' do: converted where the encoding has the
// characters, refused where it has not, never passed on as raw bytes. GLib
// reads G_FILENAME_ENCODING once, so ctest runs this again under CP932.
TEST(ShellNatives, PathsFollowTheFileNameEncoding) {
  const std::string base = std::filesystem::temp_directory_path() / ("lm-js-enc-" + std::to_string(::getpid()));
  auto folders = std::make_shared<GetFolderPath>();
  folders->AddPath("Cp932", [] { return std::string("/m/\x82\xa0"); });
  std::vector<std::string> opened;
  auto explorer = std::make_shared<Explorer>(FileOpener{[&](const std::string& p) {
                                                          opened.push_back(p);
                                                          return true;
                                                        },
                                                        nullptr});
  auto make = std::make_shared<MakeSpecifyFolder>();
  const std::string hiragana = "\xe3\x81\x82", cp932 = "\x82\xa0";  // あ
  const struct {
    const char* encoding;
    std::string folder, opened, made, refusedText;
  } cases[] = {
      {nullptr, R"({"api":"app.getFolderPath","code1":-2,"msg":"method error : the folder's name cannot be represented as text: /m/)"
       "\xef\xbf\xbd\xef\xbf\xbd\"}",
       "/m/" + hiragana + ".csv", base + "/" + hiragana, ""},
      {"CP932", "\"/m/" + hiragana + "\"", "/m/" + cp932 + ".csv", base + "/" + cp932, "/m/caf\xc3\xa9"},
  };
  const char* encoding = std::getenv("G_FILENAME_ENCODING");
  for (const auto& c : cases) {
    if ((c.encoding == nullptr) != (encoding == nullptr || !*encoding)) continue;
    SCOPED_TRACE(c.encoding ? c.encoding : "UTF-8");
    opened.clear();
    EXPECT_EQ(CallNative(folders, {"\"Cp932\""}).Text(), c.folder);
    EXPECT_EQ(CallNative(explorer, {"\"/m/" + hiragana + ".csv\""}).Text(), "undefined");
    EXPECT_EQ(opened, std::vector<std::string>{c.opened});
    EXPECT_EQ(CallNative(make, {"\"" + base + "/" + hiragana + "\""}).Text(), "true");
    EXPECT_TRUE(std::filesystem::is_directory(c.made));
    if (!c.refusedText.empty()) {  // é has no place in CP932
      EXPECT_EQ(CallNative(explorer, {"\"" + c.refusedText + "\""}).Text(),
                R"({"api":"app.explorer","code1":-1,"msg":"method error : the path cannot be a file name here: )" +
                    c.refusedText + "\"}");
      EXPECT_EQ(CallNative(make, {"\"" + base + "/" + c.refusedText.substr(3) + "\""}).Text(),
                R"({"api":"app.makeSpecifyFolder","code1":-4,"msg":"method error : the path cannot be a file name here: )" +
                    base + "/" + c.refusedText.substr(3) + "\"}");
    }
    std::filesystem::remove_all(base);
  }
}

// The registered "AppDoc" and the sibling's settings follow the string
// table's texts the process was given, not built-in ones.
TEST(ShellNatives, FoldersFollowTheStringTable) {
  const FolderTexts builtIn = CurrentFolderTexts();
  Sorrel::Com::ComServices devices;
  Sorrel::cef::Manager manager;
  linkmeter::RegisterPageFunctions(manager, devices);
  Sorrel::cef::JsNativeHandlerPtr folders;
  for (const auto& n : manager.NativeHandlers())
    if (n->NativeName() == "JsGetFolderPath") folders = n;
  ASSERT_TRUE(folders);
  auto docs = DocumentsFolder();
  ASSERT_TRUE(docs);
  const struct {
    FolderTexts texts;
    std::string appDoc, sibling;
  } cases[] = {
      {builtIn, "/Vantor Corp/Fieldgauge(VELA)", "Vantor Corp/VL-B1 for Windows/Settings/BaseUnit.dat"},
      {{"Acme", "Gauge", "en_GB.UTF-8"}, "/Acme/Gauge", "Vantor Corp/VELA for Windows/Settings/BaseUnit.dat"},
      {{"Acme", "Gauge 2", "Japanese"}, "/Acme/Gauge 2", "Vantor Corp/VL-B1 for Windows/Settings/BaseUnit.dat"},
  };
  for (const auto& c : cases) {
    SetFolderTexts(c.texts);
    EXPECT_EQ(CallNative(folders, {"\"AppDoc\""}).value.get<std::string>(), *docs + c.appDoc);
    EXPECT_EQ(SiblingEditionOf(false).settingsPath, c.sibling);
    EXPECT_EQ(SiblingEditionOf(true).settingsPath, "Orvale Corp/VL-O1 for Windows/Settings/BaseUnit.dat");
  }
  SetFolderTexts(builtIn);
}

// A lock that records what it was asked to hold.
class RecordingLock : public KeepAwake {
 public:
  void Hold(bool system, bool display) override { held.push_back(std::string(system ? "S" : "-") + (display ? "D" : "-")); }
  std::vector<std::string> held;
};

TEST(ShellNatives, ExecutionStateTracksTheLastingFlags) {
  auto lock = std::make_shared<RecordingLock>();
  auto state = std::make_shared<SetThreadExecutionState>(lock);
  const char* initial = R"({"continuous":true,"displayRequired":false,"systemRequired":false})";
  EXPECT_EQ(CallNative(state, {R"({"continuous":true,"systemRequired":true})"}).Text(), initial);
  // Without continuous the lasting state stays.
  EXPECT_EQ(CallNative(state, {R"({"displayRequired":true})"}).Text(),
            R"({"continuous":true,"displayRequired":false,"systemRequired":true})");
  EXPECT_EQ(CallNative(state, {R"({"continuous":true})"}).Text(),
            R"({"continuous":true,"displayRequired":false,"systemRequired":true})");
  EXPECT_EQ(CallNative(state, {}).Text(), initial);
  EXPECT_EQ(lock->held, (std::vector<std::string>{"S-", "--"}));
  struct Case {
    std::vector<std::string> args;
    int code;
  } cases[] = {{{"{}", "{}"}, -1}, {{"true"}, -2}, {{R"({"systemRequired":1})"}, -3},
               {{R"({"displayRequired":null})"}, -4}, {{R"({"continuous":1})"}, -5}};
  for (const auto& c : cases)
    EXPECT_EQ(CallNative(state, c.args).Text(), "{\"api\":\"app.setThreadExecutionState\",\"code1\":" +
                                                    std::to_string(c.code) + ",\"msg\":\"Invalid arguments\"}");
}

}  // namespace

namespace {

// Natives hand window and lock work to the UI process when a sender exists.
TEST(UiRequests, NativesCarryTheirWindowAndLockWorkToTheUiProcess) {
  std::vector<std::string> sent;
  InstallUiRequestSender([&](const Sorrel::cef::JsNativeHandler::Call& call, const std::string& q, const lm::json::Value& a) {
    sent.push_back(call.nativeName + " " + q + " " + lm::json::ToText(a));
    return true;
  });
  auto local = std::make_shared<RecordingLock>();
  auto state = std::make_shared<SetThreadExecutionState>(local);
  CallNative(state, {R"({"continuous":true,"displayRequired":true})"});
  CallNative(state, {R"({"systemRequired":true})"});  // not lasting: nothing to carry
  auto explorer = std::make_shared<Explorer>(FileOpener{[](const std::string&) { return false; }, nullptr});
  CallNative(explorer, {"\"/x.unknown\""});
  InstallUiRequestSender(nullptr);
  EXPECT_EQ(sent, (std::vector<std::string>{
                      R"(JsSetThreadExecutionState JsKeepAwake {"displayRequired":true,"systemRequired":false})",
                      R"(JsExplorer JsOpenWith {"path":"\/x.unknown"})"}));
  EXPECT_TRUE(local->held.empty());
}

TEST(UiRequests, OneLockForEveryOpenPage) {
  auto lock = std::make_shared<RecordingLock>();
  KeepAwakeTable table(lock);
  table.Set(1, true, false, {1, 2});
  table.Set(2, false, true, {1, 2});
  table.Set(1, false, false, {1, 2});
  table.Set(3, false, false, {3});  // pages 1 and 2 have gone
  EXPECT_EQ(lock->held, (std::vector<std::string>{"S-", "SD", "-D", "--"}));
}

TEST_F(HostQueries, RequestsHaveNoPageTextAndOpenWithShowsTheChooser) {
  EXPECT_EQ(manager_.Factory().Find("JsKeepAwake")->Script(), "");
  EXPECT_EQ(Query("JsOpenWith", R"({"path":"/a.xyz"})"), "ok null");
  EXPECT_EQ(ui_->Taken(), std::vector<std::string>{"choose /a.xyz"});
  EXPECT_EQ(Query("JsKeepAwake", R"({"systemRequired":1})"),
            R"(fail -2 {"code1":-2,"msg":"Invalid arguments : 'systemRequired' value is invalid."})");
}

}  // namespace
