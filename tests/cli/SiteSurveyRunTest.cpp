// A site survey run against a scripted base unit: which units answer, which
// stay silent, which the unit refuses, a link lost half-way and a stop, and
// what each leaves in the output and in the site records.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/Progress.h"
#include "linkmeter/cli/SiteLogic.h"
#include "linkmeter/cli/SiteRecorder.h"
#include "linkmeter/cli/SiteSurveyRun.h"

using namespace linkmeter::cli;
using lm::json::Array;
using lm::json::Object;
using lm::json::Value;

namespace {

// The demo site's LAN base unit's registration (RIVERSIDE: 20 remote units).
Value DemoRegistration() {
  std::ifstream in(LM_DEMO_SITE);
  std::stringstream text;
  text << in.rdbuf();
  return lm::json::MakeObject({{"groups", lm::json::Parse(text.str())->get("baseUnits").get<Array>()[1].get("groups")}});
}

std::string SerialOfId(const Value& id) {
  const Array& b = id.get<Array>();
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02X%02X%02X%02X", static_cast<int>(b[7].get<double>()),
                static_cast<int>(b[6].get<double>()), static_cast<int>(b[5].get<double>()),
                static_cast<int>(b[4].get<double>()));
  return buf;
}

// A base unit whose far units answer as scripted by serial: "silent" (the
// hops before it answer), "refused" (the unit refuses the command), "lost"
// (the link goes); every other unit answers. Records calls answer {id}.
class ScriptedUnit : public PageCalls {
 public:
  std::map<std::string, std::string> script;
  std::vector<std::pair<std::string, Value>> records;
  std::atomic<bool>* stopAfterFirstProbe = nullptr;
  int probes = 0;

  PageAnswer Query(const std::string& name, const Value& arg) override {
    if (name.rfind("LmRecords", 0) == 0) {
      records.emplace_back(name, arg);
      return {true, lm::json::MakeObject({{"id", lm::json::Number(7)}}), 0};
    }
    ++probes;
    if (stopAfterFirstProbe) stopAfterFirstProbe->store(true);
    const std::string how = script[SerialOfId(arg.get("ID"))];
    if (how == "lost") return {false, lm::json::ErrorObject(0, "Vcomm_SendComm : SEND_ERR(-25)"), 0};
    if (how == "refused") {
      return {true, *lm::json::Parse(R"({"isSuccess":false,"isTimeout":false,"STATUS":"0003-0001","msg":"refused"})"), 0};
    }
    Array signals;
    for (const auto& relay : arg.get("RELAY").get<Array>()) {
      signals.push_back(lm::json::MakeObject({{"number", relay}, {"level", lm::json::Number(120)}, {"battery", lm::json::Number(80)}}));
    }
    if (how != "silent") {
      signals.push_back(lm::json::MakeObject({{"number", arg.get("ID").get<Array>()[1]}, {"level", lm::json::Number(140)},
                                              {"battery", lm::json::Number(70)}}));
    }
    return {true, lm::json::MakeObject({{"isSuccess", lm::json::Bool(true)}, {"isTimeout", lm::json::Bool(false)},
                                        {"STATUS", lm::json::String(how == "silent" ? "0004-0001" : "0004-0000")},
                                        {"Signals", Value(signals)}}),
            0};
  }

  size_t Calls(const std::string& name) const {
    return static_cast<size_t>(std::count_if(records.begin(), records.end(), [&](const auto& r) { return r.first == name; }));
  }
};

struct Case {
  const char* what;
  std::map<std::string, std::string> script;
  bool stop;
  size_t units;        // units with a result
  int answered;
  bool stopped, linkLost;
  const char* statusOf00C20203;  // its result's status ("" when it has none)
};

TEST(SiteSurveyRun, UnitsAnswerStaySilentFailOrEndTheRun) {
  const Case cases[] = {
      {"all answer", {}, false, 20, 20, false, false, "ok"},
      {"a silent unit", {{"00C20203", "silent"}}, false, 20, 19, false, false, "partial"},
      {"a refused unit", {{"00C20203", "refused"}}, false, 20, 19, false, false, "failed"},
      {"the link lost at the third unit", {{"00C20203", "lost"}}, false, 2, 2, true, true, ""},
      {"a stop", {}, true, 0, 0, true, false, ""},
  };
  SiteLogic logic;
  ASSERT_TRUE(logic.Ready()) << logic.LoadError();
  const Value regInfo = DemoRegistration();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedUnit unit;
    unit.script = c.script;
    std::atomic<bool> stop{false};
    if (c.stop) unit.stopAfterFirstProbe = &stop;
    std::ostringstream err;
    Progress progress(err, false);
    SiteRecorder recorder(unit, progress, true);
    recorder.BeginVisit(lm::json::MakeObject({{"serial", lm::json::String("009C0021")}}));
    SurveyPlan plan;
    plan.regInfo = regInfo;
    plan.targets = logic.Call("siteTargets", {regInfo}, nullptr)->get<Array>();
    plan.probes = 2;
    SiteSurveyRun run(unit, logic, recorder, progress);
    SurveyOutcome outcome = run.Run(lm::json::MakeObject({{"serial", lm::json::String("009C0021")}}), plan, &stop);

    EXPECT_EQ(outcome.units.size(), c.units);
    EXPECT_EQ(outcome.answered, c.answered);
    EXPECT_EQ(outcome.stopped, c.stopped);
    EXPECT_EQ(outcome.linkLost, c.linkLost);
    ASSERT_TRUE(outcome.survey.is<Object>()) << outcome.error;
    std::string status;
    for (const auto& r : outcome.survey.get("results").get<Array>()) {
      if (r.get("target").get("serial").get<std::string>() == "00C20203") status = r.get("status").get<std::string>();
    }
    EXPECT_EQ(status, c.statusOf00C20203);
    // The records: the survey begun once, each unit's probes as it completes,
    // and the end time only when every unit has its result.
    EXPECT_EQ(unit.Calls("LmRecordsRecordSurvey"), 1u);
    const Value& last = unit.records.back().second;
    EXPECT_EQ(unit.records.back().first, "LmRecordsSurveyProbes");
    EXPECT_EQ(last.contains("endedAt"), !c.stopped);
    size_t probesKept = 0;
    for (const auto& [name, arg] : unit.records) {
      if (name == "LmRecordsSurveyProbes") probesKept += arg.get("probes").get<Array>().size();
    }
    // Every probe sent that came back with an answer is kept, also those of a unit cut off.
    const size_t lostProbe = c.linkLost ? 1 : 0;
    EXPECT_EQ(probesKept, static_cast<size_t>(unit.probes) - lostProbe - (c.script.count("00C20203") && c.script.at("00C20203") == "refused" ? 1 : 0));
  }
}

}  // namespace
