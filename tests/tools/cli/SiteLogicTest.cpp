// The page's site logic as the command line runs it: the demo site's
// registration through the bundled modules, and every way a call can fail
// coming back as an error text.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "DemoRegistration.h"
#include "linkmeter/cli/SiteLogic.h"

using linkmeter::cli::SiteLogic;
using lm::json::Array;
using lm::json::Value;

namespace {

Value Target(int group, const char* kind, int num) {
  return lm::json::MakeObject({{"group", lm::json::Number(group)}, {"kind", lm::json::String(kind)},
                               {"num", lm::json::Number(num)}});
}

// An EWLEX answer in which the units numbered `levels` answered
// ({number, level, battery}).
Value Answer(std::initializer_list<std::pair<int, int>> levels) {
  Array signals;
  for (auto [number, level] : levels) {
    signals.push_back(lm::json::MakeObject({{"battery", lm::json::Number(80)},
                                            {"level", lm::json::Number(level)},
                                            {"number", lm::json::Number(number)}}));
  }
  return lm::json::MakeObject({{"Signals", Value(signals)}, {"isSuccess", lm::json::Bool(true)}});
}

Value Probe(Value answer) { return lm::json::MakeObject({{"answer", std::move(answer)}}); }

class SiteLogicTest : public ::testing::Test {
 protected:
  Value CallOk(std::string_view function, const Array& args) {
    std::string error;
    std::optional<Value> answer = logic.Call(function, args, &error);
    EXPECT_TRUE(answer) << function << ": " << error;
    return answer ? *answer : Value();
  }
  SiteLogic logic;
};

TEST_F(SiteLogicTest, LoadsAndOffersTheDocumentedFunctions) {
  ASSERT_TRUE(logic.Ready()) << logic.LoadError();
  std::vector<std::string> names = logic.Functions();
  for (const char* name : {"defaultThresholds", "thresholdProblem", "siteTargets", "route", "siteRoutes", "routeResult",
                           "siteSurvey", "parseChannels", "channelScan", "weakestLinks", "compareSiteSurveys",
                           "recordedTable", "eventLog", "limits"}) {
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  }
  // The page's site survey, `survey` and `monitor` share one default.
  auto probes = logic.Call("defaultProbes", {}, nullptr);
  ASSERT_TRUE(probes && probes->is<double>());
  EXPECT_EQ(probes->get<double>(), 5);
}

TEST_F(SiteLogicTest, DemoRoutesGoThroughTheirRepeaters) {
  struct Case {
    const char* base;
    int group;
    int num;
    const char* serial;
    std::vector<int> relay;
    int channel;
  };
  const Case cases[] = {
      {"GREENHOUSE", 0, 1, "00B80101", {}, 12},      // straight to the base unit
      {"GREENHOUSE", 0, 3, "00BC0103", {1, 2}, 12},  // behind R1 -> R2
      {"RIVERSIDE", 0, 3, "00C20203", {1, 2, 3}, 25},
      {"RIVERSIDE", 2, 5, "00B80505", {1, 2}, 24},   // a group other than the first
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.base) + " unit " + std::to_string(c.num));
    Value route = CallOk("route", {DemoRegistration(c.base), Target(c.group, "remote", c.num)});
    const Array& hops = route.get("hops").get<Array>();
    ASSERT_EQ(hops.size(), c.relay.size() + 1);
    EXPECT_EQ(hops.back().get("serial").to_str(), c.serial);
    const Array& relay = route.get("fields").get("RELAY").get<Array>();
    ASSERT_EQ(relay.size(), c.relay.size());
    for (size_t i = 0; i < relay.size(); ++i) EXPECT_EQ(relay[i].get<double>(), c.relay[i]);
    EXPECT_EQ(route.get("fields").get("ROUTE").get<double>(), c.relay.empty() ? 0 : 1);
    EXPECT_EQ(route.get("fields").get("CH").get<double>(), c.channel);
  }
}

// A registration whose repeaters point at each other or at one that is not
// there: the other routes still come, the broken ones say why.
TEST_F(SiteLogicTest, SiteRoutesNameTheRoutesARegistrationCannotGive) {
  std::optional<Value> reg = lm::json::Parse(R"({"groups":[{"freq":3,"band":0,"name":"G",
    "repeaters":[{"num":1,"parent":2,"serial":"00C80001"},{"num":2,"parent":1,"serial":"00C80002"}],
    "remoteUnits":[{"num":1,"parent":0,"serial":"00B80001","name":"A"},{"num":2,"parent":1,"serial":"00B80002","name":"B"},
                   {"num":3,"parent":7,"serial":"00B80003","name":"C"},{"num":4,"parent":0,"serial":"zz","name":"D"}]}]})");
  ASSERT_TRUE(reg);
  Value routes = CallOk("siteRoutes", {*reg});
  const char* expected[] = {"", "loop", "noParent", "badSerial"};
  ASSERT_EQ(routes.get<Array>().size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    const Value& r = routes.get<Array>()[i];
    EXPECT_EQ(r.contains("error") ? r.get("error").to_str() : "", expected[i]) << i;
    EXPECT_EQ(r.contains("route"), !*expected[i]) << i;
  }
}

TEST_F(SiteLogicTest, TheDemosUsbBaseUnitRefusesItsRegistration) {
  const std::pair<const char*, bool> cases[] = {{"VL-B1", true}, {"VL-B7", false}, {"", false}};
  for (auto [model, refuses] : cases) {
    Value unit = lm::json::MakeObject({{"model", lm::json::String(model)}});
    EXPECT_EQ(CallOk("refusesRegistration", {unit}).evaluate_as_boolean(), refuses) << model;
  }
}

TEST_F(SiteLogicTest, DemoTargetsAreEveryRemoteUnit) {
  const std::pair<const char*, size_t> cases[] = {{"GREENHOUSE", 7}, {"RIVERSIDE", 20}};
  for (auto [base, count] : cases) {
    Value targets = CallOk("siteTargets", {DemoRegistration(base)});
    EXPECT_EQ(targets.get<Array>().size(), count) << base;
  }
}

// GREENHOUSE's FIELD-TH sits behind R1 -> R2: three hops, units 1, 2, 3.
TEST_F(SiteLogicTest, ProbesAreJudgedAsThePageJudgesThem) {
  struct Case {
    const char* what;
    std::vector<Value> answers;
    const char* status;
    const char* verdict;
  };
  const Case cases[] = {
      {"every probe strong", {Answer({{1, 170}, {2, 160}, {3, 150}}), Answer({{1, 171}, {2, 161}, {3, 151}})},
       "ok", "good"},
      {"one hop in the fair band", {Answer({{1, 170}, {2, 110}, {3, 150}})}, "ok", "fair"},
      {"the far unit lost one probe in four",
       {Answer({{1, 170}, {2, 160}, {3, 150}}), Answer({{1, 170}, {2, 160}}), Answer({{1, 170}, {2, 160}, {3, 150}}),
        Answer({{1, 170}, {2, 160}, {3, 150}})},
       "ok", "bad"},
      {"only the repeaters answered", {Answer({{1, 170}, {2, 160}})}, "partial", "silent"},
      {"nobody answered", {Answer({})}, "noAnswer", "silent"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Array probes;
    for (const Value& a : c.answers) probes.push_back(Probe(a));
    Value result = CallOk("routeResult", {DemoRegistration("GREENHOUSE"), Target(0, "remote", 3), Value(probes),
                                          lm::json::MakeObject({{"when", lm::json::Number(1.7e12)}})});
    EXPECT_EQ(result.get("status").to_str(), c.status);
    EXPECT_EQ(result.get("verdict").to_str(), c.verdict);
    const Array& hops = result.get("hops").get<Array>();
    ASSERT_EQ(hops.size(), 3u);
    EXPECT_EQ(hops[2].get("figures").get("asked").get<double>(), static_cast<double>(c.answers.size()));
    // Plain JSON: the level histogram as pairs, never a typed array's keys.
    EXPECT_TRUE(hops[2].get("stats").get("levels").is<Array>());
    EXPECT_FALSE(hops[2].get("stats").contains("bins"));
  }
}

TEST_F(SiteLogicTest, TheRecommendationLeavesOutTheSitesOwnChannel) {
  // Channel 12 is GREENHOUSE's own and the quietest of all.
  auto reading = [](int freq, int level) {
    return lm::json::MakeObject({{"freq", lm::json::Number(freq)}, {"level", lm::json::Number(level)}});
  };
  Array round{reading(10, 40), reading(11, 20), reading(12, 5), reading(13, 60), reading(14, 30)};
  Value scan = CallOk("channelScan", {DemoRegistration("GREENHOUSE"), Value(Array{Value(round), Value(round)}),
                                      lm::json::MakeObject({{"count", lm::json::Number(2)}})});
  EXPECT_EQ(lm::json::ToText(scan.get("recommendation")), R"({"channels":[11,14],"samples":2})");
  EXPECT_EQ(scan.get("rounds").get<double>(), 2);
}

TEST_F(SiteLogicTest, FailuresComeBackAsErrorTexts) {
  const Value reg = DemoRegistration("GREENHOUSE");
  struct Case {
    const char* function;
    Array args;
    const char* error;
  };
  const Case cases[] = {
      {"noSuchFunction", {}, "no site-logic function noSuchFunction"},
      {"toString", {}, "no site-logic function toString"},  // inherited, not offered
      {"VERDICTS", {}, "no site-logic function VERDICTS"},  // offered, but not a function
      {"route", {reg, Target(0, "remote", 99)}, "RouteError: noTarget"},
      {"route", {reg, Target(5, "remote", 1)}, "RouteError: noTarget"},
      {"route", {Value(), Target(0, "remote", 1)}, "RouteError: noTarget"},
      {"parseChannels", {lm::json::String("5, 12, x")}, "RangeError: x"},
      {"siteSurvey", {reg, Value(Array{lm::json::MakeObject({})})}, "TypeError"},
      {"routeResult",
       {reg, Target(0, "remote", 1), Value(Array{}),
        lm::json::MakeObject({{"thresholds", lm::json::MakeObject({{"level", Value()}})}})},
       "RangeError: thresholds: missing"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.function);
    std::string error;
    EXPECT_FALSE(logic.Call(c.function, c.args, &error));
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
  }
  // The context is still usable after every one of them.
  EXPECT_EQ(CallOk("parseChannels", {lm::json::String("3-5")}).serialize(), "[3,4,5]");
}

// Answers and throws no page module gives, from a stand-in script.
TEST(SiteLogicScript, OddAnswersAndThrowsAreErrorsOrNull) {
  SiteLogic logic(R"(var LinkmeterCli = { site: {
    nothing() {},
    fn() { return () => 1; },
    cycle() { const a = {}; a.a = a; return a; },
    text() { throw 'plain text'; },
    typed() { throw new TypeError('bad type'); },
    echo(...args) { return args; },
  } };)");
  ASSERT_TRUE(logic.Ready()) << logic.LoadError();
  struct Case {
    const char* function;
    const char* answer;  // nullptr: an error starting with `error`
    const char* error;
  };
  const Case cases[] = {
      {"nothing", "null", nullptr},
      {"fn", nullptr, "fn gave an answer that is not JSON"},
      {"cycle", nullptr, "cycle gave an answer that is not JSON"},
      {"text", nullptr, "Error: plain text"},
      {"typed", nullptr, "TypeError: bad type"},
  };
  for (const Case& c : cases) {
    std::string error;
    std::optional<Value> answer = logic.Call(c.function, {}, &error);
    if (c.answer) {
      ASSERT_TRUE(answer) << c.function << ": " << error;
      EXPECT_EQ(answer->serialize(), c.answer) << c.function;
    } else {
      EXPECT_FALSE(answer) << c.function;
      EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.function << ": " << error;
    }
  }
  // Arguments arrive as the JSON they were, text with quotes and all.
  Array args{lm::json::String("a \"quoted\" é"), lm::json::Number(2.5), Value(), lm::json::MakeObject({{"k", Value(true)}})};
  std::optional<Value> echoed = logic.Call("echo", args, nullptr);
  ASSERT_TRUE(echoed);
  EXPECT_EQ(echoed->serialize(), Value(args).serialize());
}

TEST(SiteLogicScript, AScriptThatFailsToLoadSaysWhy) {
  const std::pair<const char*, const char*> cases[] = {
      {"throw new Error('broken bundle');", "Error: broken bundle"},
      {"var LinkmeterCli = ;", "SyntaxError"},
      {"var Other = {};", "no LinkmeterCli"},
  };
  for (auto [script, why] : cases) {
    SiteLogic logic{std::string_view(script)};
    EXPECT_FALSE(logic.Ready()) << script;
    EXPECT_NE(logic.LoadError().find(why), std::string::npos) << logic.LoadError();
    std::string error;
    EXPECT_FALSE(logic.Call("route", {}, &error));
    EXPECT_EQ(error, logic.LoadError());
  }
}

TEST_F(SiteLogicTest, RefusesCallsFromAnotherThread) {
  std::string error;
  bool answered = true;
  std::thread([&] { answered = logic.Call("defaultThresholds", {}, &error).has_value(); }).join();
  EXPECT_FALSE(answered);
  EXPECT_NE(error.find("thread"), std::string::npos);
  EXPECT_TRUE(logic.Call("defaultThresholds", {}, nullptr));
}

}  // namespace
