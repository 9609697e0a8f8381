#include "linkmeter/cli/SurveyFlow.h"

#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/PageFlows.h"
#include "linkmeter/cli/SiteLogic.h"

namespace linkmeter::cli {
namespace {

using lm::json::Array;
using lm::json::Object;
using lm::json::Value;

bool Flag(const Value& v, const std::string& key) {
  const Value& m = MemberValue(v, key);
  return m.is<bool>() && m.get<bool>();
}

}  // namespace

std::optional<SurveyPlan> PlanSurvey(SiteLogic& logic, const Value& regInfo, int probes, const Value& routeTarget,
                                     std::string& error) {
  SurveyPlan plan;
  plan.regInfo = regInfo;
  plan.probes = probes;
  if (!routeTarget.is<picojson::null>()) {
    plan.kind = "route";
    plan.targets.push_back(routeTarget);
  } else {
    auto targets = logic.Call("siteTargets", {plan.regInfo}, &error);
    if (!targets || !targets->is<Array>()) return std::nullopt;
    plan.targets = targets->get<Array>();
  }
  auto th = logic.Call("defaultThresholds", {}, nullptr);
  plan.thresholds = th ? *th : Value();
  return plan;
}

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
  outcome.units = MemberArray(*done, "units");
  outcome.survey = MemberValue(*done, "survey");
  outcome.stopped = Flag(*done, "stopped");
  outcome.linkLost = Flag(*done, "linkLost");
  if (outcome.stopped) {
    const std::string why = FailureText(PageAnswer{false, MemberValue(*done, "failure"), 0});
    outcome.error = outcome.linkLost ? "the link to the base unit was lost: " + why : why;
  }
  for (const auto& result : MemberArray(outcome.survey, "results")) {
    if (MemberText(result, "status") == "ok") ++outcome.answered;
    else ++outcome.notAnswered;
  }
  return outcome;
}

}  // namespace linkmeter::cli
