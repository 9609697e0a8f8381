// The program's start-up parts that need no window: profile and version
// check, string table, locale, folders, texts and keys, the shutdown wait.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <fstream>
#include <map>
#include <thread>

#include "linkmeter/shell/DeveloperKeys.h"
#include "linkmeter/shell/Locale.h"
#include "linkmeter/shell/MessageDialogs.h"
#include "linkmeter/shell/PowerEvents.h"
#include "linkmeter/shell/Profile.h"
#include "linkmeter/shell/ShellOptions.h"
#include "linkmeter/shell/ShutdownWait.h"
#include "linkmeter/shell/StringTable.h"
#include "linkmeter/shell/Workspace.h"
#include "sorrel/cef/BsmsgRouter.h"

using namespace linkmeter::shell;
namespace fs = std::filesystem;

namespace {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/lm-shell-XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, ec);
    fs::remove_all(path_, ec);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

void Write(const fs::path& file, const std::string& text) { std::ofstream(file) << text; }

}  // namespace

TEST(VersionCheck, OnlyTheLanguageTagDecidesWhetherTheLayoutGoes) {
  struct Case {
    const char* stored;
    bool removed;
  };
  for (const Case& c : {Case{"1.04.0 (JPN)", false}, Case{"1.05.0 (JPN)", false}, Case{"1.05.0 (ENG)", true},
                        Case{"", true}, Case{"(JPN)", true}}) {
    TempDir dir;
    Profile profile(dir.Path() / "p" / "profile.ini");
    if (*c.stored) profile.SetString("Version", "Version", c.stored);
    profile.SetInt("Workspace", "width", 640);
    profile.SetInt("Workspace/Pane-0", "size", 3);
    profile.SetInt("WorkspaceOther", "kept", 1);
    profile.SetInt("ApiDocDlg", "left", 10);
    EXPECT_EQ(ApplyVersionCheck(profile, "1.05.0 (JPN)"), c.removed) << c.stored;
    EXPECT_EQ(profile.HasGroup("Workspace"), !c.removed) << c.stored;
    EXPECT_EQ(profile.HasGroup("Workspace/Pane-0"), !c.removed) << c.stored;
    EXPECT_TRUE(profile.HasGroup("WorkspaceOther"));
    EXPECT_EQ(profile.GetInt("ApiDocDlg", "left"), 10);
    EXPECT_EQ(profile.GetString("Version", "Version"), "1.05.0 (JPN)");
  }
  EXPECT_EQ(LanguageTag("1.05.0 (JPN)"), "JPN");
  EXPECT_EQ(LanguageTag("(JPN)"), "");
  EXPECT_EQ(LanguageTag("1.05.0"), "");
}

TEST(ProfileFile, SurvivesARoundTripAndStartsEmptyWhenUnreadable) {
  TempDir dir;
  const fs::path file = dir.Path() / "VANTOR CORPORATION" / "Fieldgauge(VELA)" / "profile.ini";
  std::string error;
  {
    Profile profile(file);
    EXPECT_TRUE(profile.Load(error)) << error;  // missing: empty, no error
    profile.SetInt("Workspace", "x", -20);
    profile.SetString("Version", "Version", "1.05.0 (JPN)");
    ASSERT_TRUE(profile.Save(error)) << error;
  }
  Profile again(file);
  ASSERT_TRUE(again.Load(error));
  EXPECT_EQ(again.GetInt("Workspace", "x"), -20);
  EXPECT_EQ(again.GetInt("Workspace", "y"), std::nullopt);

  Write(file, "not [a key file\n");
  Profile broken(file);
  EXPECT_FALSE(broken.Load(error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(broken.HasGroup("Workspace"));
}

TEST(StringTableFile, ReplacesListedTextsAndRefusesUnreadableFiles) {
  TempDir dir;
  StringTable strings;
  std::string error;
  EXPECT_TRUE(strings.LoadReplacement(dir.Path() / "none.strings", error));
  EXPECT_EQ(strings.Get(strings::kAppTitle), "Fieldgauge(VELA)");
  EXPECT_EQ(VersionText(strings), "1.05.0 (JPN)");

  Write(dir.Path() / "good.strings", "[Strings]\n1000=(ENG)\n1003=Vantor Inc\n");
  EXPECT_TRUE(strings.LoadReplacement(dir.Path() / "good.strings", error)) << error;
  EXPECT_EQ(VersionText(strings), "1.05.0 (ENG)");
  EXPECT_EQ(strings.Get(strings::kCompanyFolder), "Vantor Inc");
  EXPECT_EQ(strings.Get(strings::kProductFolder), "Fieldgauge(VELA)");  // not listed: built in

  for (const char* bad : {"[Strings\n", "[Strings]\nabc=1\n", "[Strings]\n70000=x\n"}) {
    Write(dir.Path() / "bad.strings", bad);
    StringTable fresh;
    EXPECT_FALSE(fresh.LoadReplacement(dir.Path() / "bad.strings", error)) << bad;
    EXPECT_EQ(fresh.Get(strings::kLanguageTag), "(JPN)");
  }
  fs::create_directory(dir.Path() / "folder.strings");
  EXPECT_FALSE(strings.LoadReplacement(dir.Path() / "folder.strings", error));
  if (geteuid() != 0) {
    Write(dir.Path() / "locked.strings", "[Strings]\n");
    fs::permissions(dir.Path() / "locked.strings", fs::perms::none);
    EXPECT_FALSE(strings.LoadReplacement(dir.Path() / "locked.strings", error));
  }
}

TEST(LocaleChoice, JapaneseWhenInstalledOtherwiseCUtf8AndNumbersStayC) {
  EXPECT_EQ(LocaleCandidates("Japanese"), (std::vector<std::string>{"ja_JP.UTF-8", "ja_JP.utf8", "C.UTF-8"}));
  EXPECT_EQ(LocaleCandidates(""), (std::vector<std::string>{"C.UTF-8"}));
  const std::string chosen = SelectLocale("Japanese");
  EXPECT_TRUE(chosen == "ja_JP.UTF-8" || chosen == "ja_JP.utf8" || chosen == "C.UTF-8") << chosen;
  EXPECT_STREQ(std::localeconv()->decimal_point, ".");
  EXPECT_EQ(SelectLocale("xx_NOWHERE.UTF-8"), "C.UTF-8");
  std::setlocale(LC_ALL, "C");
}

// The GUI tests run the program in both languages; scripts/install-deps
// generates these locales, without which it would fall back to C.UTF-8.
TEST(LocaleChoice, TheTestLanguagesAreInstalled) {
  for (const std::string name : {"en_US.UTF-8", "ja_JP.UTF-8"}) {
    EXPECT_EQ(SelectLocale(name), name) << "run scripts/install-deps";
  }
  EXPECT_EQ(SelectLocale("Japanese"), "ja_JP.UTF-8");
  std::setlocale(LC_ALL, "C");
}

TEST(LocaleChoice, PageLanguageFollowsTheMessageLanguageOfTheEnvironment) {
  using Env = std::map<std::string, std::string>;
  const std::vector<std::pair<Env, std::string>> cases = {
      {{}, "en"},
      {{{"LANG", "ja_JP.UTF-8"}}, "ja"},
      {{{"LANG", "en_US.UTF-8"}}, "en"},
      {{{"LANG", "ja"}}, "ja"},
      {{{"LANG", "de_DE.UTF-8"}}, "en"},
      {{{"LANG", "jam_JM"}}, "en"},  // another language whose name starts with "ja"
      // LC_ALL before LC_MESSAGES before LANG; an empty value counts as unset.
      {{{"LC_ALL", "en_US.UTF-8"}, {"LC_MESSAGES", "ja_JP.UTF-8"}, {"LANG", "ja_JP.UTF-8"}}, "en"},
      {{{"LC_MESSAGES", "ja_JP.UTF-8"}, {"LANG", "en_US.UTF-8"}}, "ja"},
      {{{"LC_ALL", ""}, {"LANG", "ja_JP.eucJP"}}, "ja"},
      // LANGUAGE comes first, its first entry the page has, unless messages are in C.
      {{{"LANGUAGE", "ja:en"}, {"LANG", "en_US.UTF-8"}}, "ja"},
      {{{"LANGUAGE", "fr:en_GB:ja"}, {"LANG", "ja_JP.UTF-8"}}, "en"},
      {{{"LANGUAGE", "fr"}, {"LANG", "ja_JP.UTF-8"}}, "ja"},
      {{{"LANGUAGE", "ja"}, {"LANG", "C"}}, "en"},
      {{{"LANGUAGE", "ja"}, {"LC_ALL", "C.UTF-8"}, {"LANG", "ja_JP.UTF-8"}}, "en"},
      {{{"LANGUAGE", "ja"}}, "en"},
      {{{"LC_ALL", "POSIX"}}, "en"},
  };
  for (const auto& [env, expected] : cases) {
    const auto lookup = [&env = env](const char* name) -> const char* {
      auto it = env.find(name);
      return it == env.end() ? nullptr : it->second.c_str();
    };
    std::string shown;
    for (const auto& [k, v] : env) shown += k + "=" + v + " ";
    EXPECT_EQ(SystemLanguage(lookup), expected) << shown;
  }
}

TEST(Folders, CreatedLevelByLevelAndRefusedWhereAFileIsInTheWay) {
  TempDir dir;
  StringTable strings;
  const fs::path workspace = WorkspaceFolder(dir.Path() / "Documents", strings);
  EXPECT_EQ(workspace, dir.Path() / "Documents" / "Vantor Corp" / "Fieldgauge(VELA)");
  EXPECT_TRUE(CreateFolderLevels(EngineCacheFolder(workspace)));
  EXPECT_TRUE(fs::is_directory(workspace / "cache"));
  EXPECT_TRUE(CreateFolderLevels(workspace));  // already there
  Write(dir.Path() / "file", "x");
  EXPECT_FALSE(CreateFolderLevels(dir.Path() / "file" / "below"));
}

TEST(StartupError, TextLayout) {
  EXPECT_EQ(StartupErrorText("Fieldgauge(VELA)", "1.05.0 (JPN)", "DoInitLocale"),
            "Fieldgauge(VELA) Ver.1.05.0 (JPN)\nDoInitLocale\n" + std::string(40, ' '));
}

TEST(PowerScript, OneFlagPerEventAndTheMonitorOnlyForASettingChange) {
  const std::string resume = PowerEventScript(PowerEvent::kResumeSuspend);
  EXPECT_EQ(resume,
            "(function(){\n"
            "  if(typeof(app.onSystemEvent) == 'function'){\n"
            "    app.onSystemEvent({\n"
            "      name : 'powerBroadcast',\n"
            "      powerStatusChange : false,\n"
            "      resumeAutomatic : false,\n"
            "      resumeSuspend : true,\n"
            "      suspend : false,\n"
            "      powerSettingChange : false,\n"
            "    });\n"
            "  }\n"
            "}());");
  EXPECT_NE(PowerEventScript(PowerEvent::kPowerSettingChange, false).find("      monitorPowerOn : false,\n"),
            std::string::npos);
  EXPECT_EQ(PowerEventScript(PowerEvent::kSuspend, true).find("monitorPowerOn"), std::string::npos);
}

TEST(DeveloperKeys, NeedDevtoolsExceptTheDocumentationKey) {
  const auto ctrlShift = GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK);
  struct Case {
    guint key;
    GdkModifierType mods;
    bool devtools;
    DevKeyAction want;
  };
  for (const Case& c : {Case{GDK_KEY_I, ctrlShift, true, DevKeyAction::kInspector},
                        Case{GDK_KEY_I, ctrlShift, false, DevKeyAction::kNone},
                        Case{GDK_KEY_i, GDK_CONTROL_MASK, true, DevKeyAction::kNone},
                        Case{GDK_KEY_F5, GDK_CONTROL_MASK, true, DevKeyAction::kReload},
                        Case{GDK_KEY_F5, GdkModifierType(0), false, DevKeyAction::kNone},
                        Case{GDK_KEY_H, GdkModifierType(ctrlShift | GDK_MOD2_MASK), false, DevKeyAction::kApiDocs}}) {
    EXPECT_EQ(DeveloperKeyAction(c.key, c.mods, c.devtools), c.want) << c.key;
  }
  TempDir dir;
  EXPECT_FALSE(DevtoolsAvailable(dir.Path(), false));
  EXPECT_TRUE(DevtoolsAvailable(dir.Path(), true));
  Write(dir.Path() / "devtools_resources.pak", "");
  EXPECT_TRUE(DevtoolsAvailable(dir.Path(), false));
}

TEST(ShellOptionsMore, EveryOptionIsListedInTheHelp) {
  std::string error;
  auto o = ParseShellOptions({"--automation", "--devtools", "--version"}, error);
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->automation && o->devtools && o->version && !o->help);
  for (const char* name : {"--url", "--console", "--demo", "--devtools", "--automation", "--version", "--help"})
    EXPECT_NE(std::string(kShellUsage).find(name), std::string::npos) << name;
}

namespace {
struct StubBrowser : Sorrel::cef::Browser {
  int32_t Identifier() const override { return 9; }
  std::string MainFrameUrl() const override { return {}; }
};
}  // namespace

TEST(ShutdownWait, GivesBrowsersAtMostTheLimit) {
  Sorrel::cef::Manager manager;
  Sorrel::cef::QueryTaskGroup tasks;
  Sorrel::cef::BsmsgRouter router(tasks);
  manager.RegisterBrowser(std::make_shared<StubBrowser>(), router);
  // A browser that never goes: one second, then shutdown goes on.
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(WaitForBrowsers(manager));
  const auto waited = std::chrono::steady_clock::now() - t0;
  EXPECT_GE(waited, std::chrono::milliseconds(1000));
  EXPECT_LT(waited, std::chrono::milliseconds(2000));

  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    manager.RemoveBrowser(9);
  });
  t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(WaitForBrowsers(manager));  // the default: ten steps of 100 ms
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(1000));
  closer.join();
}
