#include <gtest/gtest.h>

#include "linkmeter/shell/ShellOptions.h"
#include "sorrel/cef/JsNativeHandler.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/PageScript.h"
#include "sorrel/cef/webext/Extension.h"
#include "sorrel/cef/webkit/GVariantMsg.h"

using namespace linkmeter::shell;
using Sorrel::cef::MsgList;
using Sorrel::cef::MsgValue;

TEST(ShellOptions, ParsesUrlAndConsole) {
  std::string error;
  auto o = ParseShellOptions({"--console", "--url", "app://res/x/y.html"}, error);
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->console);
  EXPECT_EQ(o->url, "app://res/x/y.html");
  o = ParseShellOptions({"--url=app://res/a/"}, error);
  ASSERT_TRUE(o);
  EXPECT_EQ(o->url, "app://res/a/");
  EXPECT_FALSE(o->console);
  EXPECT_FALSE(o->demo);
  o = ParseShellOptions({"--demo"}, error);
  ASSERT_TRUE(o);
  EXPECT_TRUE(o->demo);
  EXPECT_FALSE(ParseShellOptions({"--url"}, error));
  EXPECT_FALSE(ParseShellOptions({"--bogus"}, error));
  EXPECT_EQ(error, "unknown option: --bogus");
  EXPECT_EQ(StartUrl("linkmeter"), "app://res/linkmeter/index.html");
}

TEST(ShellOptions, PopupOriginsCompareSchemeAndHost) {
  EXPECT_TRUE(SameOrigin("app://res/linkmeter/index.html", "app://res/other/page.html"));
  EXPECT_FALSE(SameOrigin("app://res/a.html", "app://other/a.html"));
  EXPECT_FALSE(SameOrigin("app://res/a.html", "https://res/a.html"));
  EXPECT_FALSE(SameOrigin("app://resx/a.html", "app://res/a.html"));
  EXPECT_EQ(OriginPrefix("about:blank"), "about:blank");
}

TEST(GVariantMsg, EveryValueKindSurvivesTheTrip) {
  MsgList list{MsgValue(),
               MsgValue::Bool(true),
               MsgValue::Int(-2147483647 - 1),
               MsgValue::Double(0.25),
               MsgValue::String("テキスト"),
               MsgValue::MakeDictionary({{"z", MsgValue::Int(1)}, {"a", MsgValue::MakeList({MsgValue()})}}),
               MsgValue::MakeList({MsgValue::MakeList(), MsgValue::MakeDictionary()})};
  GVariant* v = g_variant_ref_sink(Sorrel::cef::webkit::ToVariant(list));
  EXPECT_STREQ(g_variant_get_type_string(v), "av");
  MsgList back = Sorrel::cef::webkit::ListFromVariant(v);
  g_variant_unref(v);
  EXPECT_EQ(back, list);
  // Anything but an array of variants carries no arguments.
  GVariant* other = g_variant_ref_sink(g_variant_new("(i)", 3));
  EXPECT_TRUE(Sorrel::cef::webkit::ListFromVariant(other).empty());
  g_variant_unref(other);
}

namespace {
class NoopNative : public Sorrel::cef::JsNativeHandler {
 public:
  using JsNativeHandler::JsNativeHandler;
  bool Execute(Call&) override { return true; }
};
}  // namespace

TEST(PageScript, NativeDeclarationsBecomeLookupsInTheNativesScope) {
  Sorrel::cef::Manager manager;
  manager.AppendPrelude("app.t=app.t||{};");
  manager.AddNative(std::make_shared<NoopNative>("app.t.b", "JsB"));
  manager.AddNative(std::make_shared<NoopNative>("app.t.a", "JsA"));
  const std::string script =
      Sorrel::cef::webext::PrepareNativeScript(Sorrel::cef::BuildPageScript(manager), manager);
  EXPECT_EQ(script.rfind("with(__lmNatives){var app = {};app.t=app.t||{};"
                         "app.t.a = function(){  return JsA(arguments);};"
                         "app.t.b = function(){  return JsB(arguments);};",
                         0),
            0u)
      << script.substr(0, 200);
  EXPECT_EQ(script.find("native function"), std::string::npos);
  EXPECT_EQ(script.substr(script.size() - 2), "\n}");
}
