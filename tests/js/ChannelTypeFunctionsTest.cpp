// The linkmeter.* page functions: display values from the channel types and
// the demo flag, called through the native dispatcher as the page calls them.
#include <gtest/gtest.h>

#include "NativeTestSupport.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/js/ChannelTypeFunctions.h"

using namespace Sorrel::Js;
using js_test::CallNative;

namespace {

struct Case {
  Sorrel::cef::JsNativeHandlerPtr fn;
  std::vector<std::string> args;
  std::string want;
};

void Check(const std::vector<Case>& cases) {
  for (const auto& c : cases) {
    std::string args;
    for (const auto& a : c.args) args += a + " ";
    EXPECT_EQ(CallNative(c.fn, c.args).Text(), c.want) << c.fn->ScriptName() << " " << args;
  }
}

TEST(LinkmeterFunctions, ValuesComeFromTheChannelTypes) {
  auto format = std::make_shared<ChTypeFormat>();
  auto toReal = std::make_shared<ChTypeToReal>();
  auto fromReal = std::make_shared<ChTypeFromReal>();
  Check({
      {format, {"13", "1250"}, R"("25.0 °C")"},
      {format, {"13", "750", "false"}, R"("-25.0")"},
      {format, {"13", "61166"}, R"("----")"},            // 0xEEEE: no value, never a unit
      {format, {"208", "1555"}, R"("55 %")"},
      {format, {"67", "51325", "false"}, R"("1013.25")"},
      {format, {"333", "4000000000"}, R"("4000000000 pulse")"},  // the 32-bit type
      {format, {"999", "7"}, R"("7")"},                  // unknown code: the null type
      {toReal, {"14", "1250"}, "77"},
      {toReal, {"73", "4146"}, "1"},                    // 0x1032: 50 << 1 hundredths
      {toReal, {"66", "36863"}, "-1"},                   // 0x8FFF: signed floating
      {toReal, {"66", "61440"}, "null"},                 // 0xF000: no value
      {toReal, {"589", "4294967295"}, "4294967295"},
      {fromReal, {"13", "25"}, "1250"},
      {fromReal, {"13", "1e9"}, "31000"},                // clamped to the maximum
      {fromReal, {"590", "12.95"}, "13"},
  });
}

TEST(LinkmeterFunctions, DescribeGivesUnitAndLimits) {
  auto describe = std::make_shared<ChTypeDescribe>();
  Check({
      {describe, {"13"},
       R"({"chType":13,"known":true,"max":3000,"maxRaw":31000,"min":-273,"minRaw":63806,"unit":"°C","width":2})"},
      {describe, {"66"},  // the limit 0xF000 is a no-value marker: the range starts at 0xF010
       R"({"chType":66,"known":true,"max":524160,"maxRaw":32767,"min":-522240,"minRaw":61456,"unit":"ppm","width":2})"},
      {describe, {"334"},
       R"({"chType":334,"known":true,"max":4294967295,"maxRaw":4294967295,"min":0,"minRaw":0,"unit":"pulse","width":4})"},
      {describe, {"1001"}, R"({"chType":1001,"known":true,"max":61439,"maxRaw":61439,"min":0,"minRaw":0,"unit":"","width":2})"},
      {describe, {"0"}, R"({"chType":0,"known":false,"max":65535,"maxRaw":65535,"min":0,"minRaw":0,"unit":"","width":0})"},
  });
}

TEST(LinkmeterFunctions, BadArgumentsThrowNumberedErrors) {
  auto format = std::make_shared<ChTypeFormat>();
  auto fromReal = std::make_shared<ChTypeFromReal>();
  const std::string api = R"({"api":"linkmeter.chtype.format",)";
  Check({
      {format, {}, api + R"("code1":-1,"msg":"Invalid arguments : 'chType' is not found."})"},
      {format, {"1.5", "1"}, api + R"("code1":-2,"msg":"Invalid arguments : 'chType' value is invalid."})"},
      {format, {"\"13\"", "1"}, api + R"("code1":-2,"msg":"Invalid arguments : 'chType' value is invalid."})"},
      {format, {"13"}, api + R"("code1":-3,"msg":"Invalid arguments : 'raw' is not found."})"},
      {format, {"13", "65536"}, api + R"("code1":-4,"msg":"Invalid arguments : 'raw' value is invalid."})"},
      {format, {"333", "-1"}, api + R"("code1":-4,"msg":"Invalid arguments : 'raw' value is invalid."})"},
      {format, {"13", "1", "1"}, api + R"("code1":-5,"msg":"Invalid arguments : 'withUnit' value is invalid."})"},
      {fromReal, {"13", "\"25\""},
       R"({"api":"linkmeter.chtype.fromReal","code1":-4,"msg":"Invalid arguments : 'real' value is invalid."})"},
  });
}

TEST(LinkmeterFunctions, RegisteredUnderTheirOwnNamespaceWithTheDemoFlag) {
  for (bool demo : {false, true}) {
    Sorrel::cef::Manager manager;
    RegisterLinkmeterFunctions(manager, demo);
    EXPECT_NE(manager.Prelude().find("var linkmeter={};linkmeter.chtype={};"), std::string::npos);
    auto natives = manager.NativeHandlersByName();
    ASSERT_TRUE(natives.count("LmIsDemo"));
    EXPECT_EQ(natives["LmIsDemo"]->ScriptName(), "linkmeter.isDemo");
    EXPECT_EQ(CallNative(natives["LmIsDemo"], {}).Text(), demo ? "true" : "false");
    for (const char* n : {"LmChTypeFormat", "LmChTypeToReal", "LmChTypeFromReal", "LmChTypeDescribe"})
      EXPECT_EQ(natives.count(n), 1u) << n;
  }
}

TEST(LinkmeterFunctions, SystemLanguageAnswersWhatTheProgramRead) {
  for (const char* language : {"ja", "en"}) {
    Sorrel::cef::Manager manager;
    RegisterLinkmeterFunctions(manager, false, language);
    auto natives = manager.NativeHandlersByName();
    ASSERT_TRUE(natives.count("LmSystemLanguage"));
    EXPECT_EQ(natives["LmSystemLanguage"]->ScriptName(), "linkmeter.systemLanguage");
    EXPECT_EQ(CallNative(natives["LmSystemLanguage"], {}).Text(), std::string("\"") + language + "\"");
  }
}

}  // namespace
