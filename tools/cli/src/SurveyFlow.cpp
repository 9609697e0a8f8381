#include "linkmeter/cli/SurveyFlow.h"

#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/PageFlows.h"

namespace linkmeter::cli {
namespace {

using lm::json::Array;
using lm::json::Object;
using lm::json::Value;

const Value& Get(const Value& v, const std::string& key) {
  static const Value null;
  return v.is<Object>() && v.contains(key) ? v.get(key) : null;
}

bool Flag(const Value& v, const std::string& key) {
  const Value& m = Get(v, key);
  return m.is<bool>() && m.get<bool>();
}

}  // namespace

SurveyOutcome RunSurveyFlow(PageFlows& flows, const Value& comInfo, const SurveyPlan& plan,
                            const std::atomic<bool>* stop) {
  SurveyOutcome outcome;
  Object arg{{"comInfo", comInfo},           {"regInfo", plan.regInfo},
             {"targets", Value(plan.targets)}, {"kind", lm::json::String(plan.kind)},
             {"probes", lm::json::Number(plan.probes)}, {"mnemonic", lm::json::String(plan.mnemonic)}};
  if (!plan.thresholds.is<picojson::null>()) arg["thresholds"] = plan.thresholds;
  std::string error;
  auto done = flows.Run("survey", {Value(std::move(arg))}, &error, stop);
  if (!done) {
    outcome.error = "the survey could not be run: " + error;
    return outcome;
  }
  if (Get(*done, "units").is<Array>()) outcome.units = Get(*done, "units").get<Array>();
  outcome.survey = Get(*done, "survey");
  outcome.stopped = Flag(*done, "stopped");
  outcome.linkLost = Flag(*done, "linkLost");
  if (outcome.stopped) {
    const std::string why = FailureText(PageAnswer{false, Get(*done, "failure"), 0});
    outcome.error = outcome.linkLost ? "the link to the base unit was lost: " + why : why;
  }
  for (const auto& result : Get(outcome.survey, "results").is<Array>() ? Get(outcome.survey, "results").get<Array>()
                                                                        : Array()) {
    if (MemberText(result, "status") == "ok") ++outcome.answered;
    else ++outcome.notAnswered;
  }
  return outcome;
}

}  // namespace linkmeter::cli
