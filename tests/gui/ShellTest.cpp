#include <gtest/gtest.h>

#include "linkmeter/shell/ShellOptions.h"
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
