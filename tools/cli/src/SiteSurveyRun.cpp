#include "linkmeter/cli/SiteSurveyRun.h"

#include <cmath>

#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/Progress.h"
#include "linkmeter/cli/SiteLogic.h"
#include "linkmeter/cli/SiteRecorder.h"
#include "linkmeter/cli/UnitConnection.h"

namespace linkmeter::cli {
namespace {

using lm::json::Array;
using lm::json::Object;
using lm::json::Value;

const Value& Get(const Value& v, const std::string& key) {
  static const Value null;
  return v.is<Object>() && v.contains(key) ? v.get(key) : null;
}

double Num(const Value& v, const std::string& key, double fallback = 0) {
  const Value& m = Get(v, key);
  return m.is<double>() ? m.get<double>() : fallback;
}

// STATUS 0004-xxxx without a timeout: the radio part ended without the far
// unit, which is an answer (silence), not a failure of the call.
bool IsRadioSilence(const Value& answer) {
  const std::string status = MemberText(answer, "STATUS");
  return status.rfind("0004-", 0) == 0 && MemberText(answer, "isTimeout") != "true";
}

Value SerialValue(const Value& v) {
  auto n = SerialNumber(MemberText(v, "serial"));
  return n ? lm::json::Number(*n) : Value();
}

// The mean level of a hop's histogram ([level, count] pairs), one decimal.
Value MeanLevel(const Value& stats) {
  const Value& levels = Get(stats, "levels");
  double sum = 0, n = 0;
  if (levels.is<Array>()) {
    for (const auto& pair : levels.get<Array>()) {
      if (!pair.is<Array>() || pair.get<Array>().size() != 2) continue;
      sum += pair.get<Array>()[0].get<double>() * pair.get<Array>()[1].get<double>();
      n += pair.get<Array>()[1].get<double>();
    }
  }
  return n > 0 ? lm::json::Number(std::round(sum / n * 10) / 10) : Value();
}

// The LEVEL bytes of an answer: number, level and battery of every unit
// that answered, as the records keep a probe.
Array LevelBytes(const Value& answer) {
  Array out;
  const Value& signals = Get(answer, "Signals");
  if (!signals.is<Array>()) return out;
  for (const auto& s : signals.get<Array>()) {
    for (const char* key : {"number", "level", "battery"}) {
      out.push_back(lm::json::Number(static_cast<int>(Num(s, key)) & 255));
    }
  }
  return out;
}

// Each target's route as hop serials (what the records keep) and a label for
// the progress line: a target given by serial alone has no label of its own.
void RoutesOfTargets(SiteLogic& logic, const SurveyPlan& plan, Array& routes, std::vector<std::string>& labels) {
  for (const auto& target : plan.targets) {
    Array serials;
    std::string label = MemberText(target, "label");
    if (auto route = logic.Call("route", {plan.regInfo, target}, nullptr); route && Get(*route, "hops").is<Array>()) {
      const Array& hops = Get(*route, "hops").get<Array>();
      for (const auto& hop : hops) serials.push_back(SerialValue(hop));
      if (label.empty() && !hops.empty()) label = MemberText(hops.back(), "name");
      if (label.empty() && !hops.empty()) label = MemberText(hops.back(), "serial");
    }
    routes.push_back(Value(std::move(serials)));
    labels.push_back(std::move(label));
  }
}

}  // namespace

struct SiteSurveyRun::UnitRun {
  Array probes;        // {answer, when}
  Array probeAnswered; // per probe: the far unit answered
  Value failed;        // the failure object when its survey failed
  Value result;        // routeResult over its probes
};

Value TargetOfSerial(const Value& regInfo, const std::string& serial) {
  const Value& groups = Get(regInfo, "groups");
  if (!groups.is<Array>()) return {};
  const Array& list = groups.get<Array>();
  for (size_t g = 0; g < list.size(); ++g) {
    for (const auto& [kind, member] : {std::pair{"remote", "remoteUnits"}, {"repeater", "repeaters"}}) {
      const Value& units = Get(list[g], member);
      if (!units.is<Array>()) continue;
      for (const auto& u : units.get<Array>()) {
        if (MemberText(u, "serial") != serial) continue;
        return lm::json::MakeObject({{"group", lm::json::Number(static_cast<int>(g))},
                                     {"kind", lm::json::String(kind)}, {"num", Get(u, "num")}});
      }
    }
  }
  return {};
}

Value SiteSurveyRun::Thresholds(const SurveyPlan& plan) {
  if (!plan.thresholds.is<picojson::null>()) return plan.thresholds;
  auto th = logic_.Call("defaultThresholds", {}, nullptr);
  return th ? *th : Value();
}

bool SiteSurveyRun::SurveyUnit(const Value& comInfo, const SurveyPlan& plan, const Value& target, UnitRun& unit,
                               const std::atomic<bool>* stop, SurveyOutcome& outcome) {
  std::string error;
  auto route = logic_.Call("route", {plan.regInfo, target}, &error);
  if (!route) {
    unit.failed = lm::json::MakeObject({{"msg", lm::json::String(error)}});
    return true;
  }
  for (int p = 0; p < plan.probes; ++p) {
    if (stop && stop->load()) {
      outcome.stopped = true;
      outcome.error = "stopped";
      return false;
    }
    Object arg = Get(*route, "fields").is<Object>() ? Get(*route, "fields").get<Object>() : Object();
    arg["comInfo"] = comInfo;
    PageAnswer a = page_.Query("ComTcmd" + plan.mnemonic, Value(std::move(arg)));
    const bool refused = a.ok && MemberText(a.value, "isSuccess") != "true" && !Get(a.value, "Signals").is<Array>() &&
                         !IsRadioSilence(a.value);
    if (!a.ok || refused) {
      if (refused) a.ok = false;
      if (IsLinkLost(a)) {
        outcome.stopped = outcome.linkLost = true;
        outcome.error = "the link to the base unit was lost: " + FailureText(a);
        return false;
      }
      unit.failed = a.value.is<Object>() ? WithoutComInfo(a.value) : lm::json::MakeObject({{"msg", a.value}});
      return true;
    }
    Value probe = lm::json::MakeObject({{"answer", WithoutComInfo(a.value)}, {"when", lm::json::Number(NowMs())}});
    auto one = logic_.Call("routeResult", {plan.regInfo, target, Value(Array{probe}), Value(Object())}, nullptr);
    unit.probeAnswered.push_back(lm::json::Bool(one && Num(Get(*one, "far"), "answered") > 0));
    unit.probes.push_back(std::move(probe));
  }
  return true;
}

void SiteSurveyRun::RecordUnit(const SurveyPlan& plan, size_t index, const UnitRun& unit,
                               const std::string& baseSerial, Array& allHops) {
  if (!surveyId_) return;
  Array probes, hops;
  for (size_t i = 0; i < unit.probes.size(); ++i) {
    probes.push_back(lm::json::MakeObject(
        {{"route", lm::json::Number(static_cast<int>(index))}, {"seq", lm::json::Number(static_cast<int>(i))},
         {"at", Get(unit.probes[i], "when")}, {"answered", unit.probeAnswered[i]},
         {"raw", Value(LevelBytes(Get(unit.probes[i], "answer")))}}));
  }
  Value from = lm::json::Number(*SerialNumber(baseSerial));
  const Value& resultHops = Get(unit.result, "hops");
  if (resultHops.is<Array>()) {
    int i = 0;
    for (const auto& hop : resultHops.get<Array>()) {
      const Value& st = Get(hop, "stats");
      Value unitSerial = SerialValue(hop);
      if (st.is<Object>() && !unitSerial.is<picojson::null>()) {
        Object row{{"route", lm::json::Number(static_cast<int>(index))}, {"hop", lm::json::Number(i)},
                   {"fromUnit", from}, {"unit", unitSerial}, {"sent", Get(st, "asked")},
                   {"answered", Get(st, "answered")}};
        if (Num(st, "answered") > 0) {
          row["levelMin"] = Get(st, "min");
          row["levelAvg"] = MeanLevel(st);
          row["levelMax"] = Get(st, "max");
        }
        if (Get(st, "batteryLast").is<double>()) row["battery"] = Get(st, "batteryLast");
        hops.push_back(Value(row));
        allHops.push_back(Value(std::move(row)));
      }
      from = unitSerial;
      ++i;
    }
  }
  (void)plan;
  if (!probes.empty() || !hops.empty()) {
    recorder_.SurveyProbes(surveyId_, {{"probes", Value(std::move(probes))}, {"hops", Value(std::move(hops))}});
  }
}

SurveyOutcome SiteSurveyRun::Run(const Value& comInfo, const SurveyPlan& plan, const std::atomic<bool>* stop) {
  SurveyOutcome outcome;
  const int64_t startedAt = NowMs();
  const Value thresholds = Thresholds(plan);
  Array routes;
  std::vector<std::string> labels;
  RoutesOfTargets(logic_, plan, routes, labels);
  surveyId_ = recorder_.BeginSurvey({{"kind", lm::json::String(plan.kind)}, {"startedAt", lm::json::Number(startedAt)},
                                     {"probesPerRoute", lm::json::Number(plan.probes)},
                                     {"routes", Value(std::move(routes))}, {"thresholds", thresholds}});
  outcome.recordId = surveyId_;
  const std::string baseSerial = MemberText(comInfo, "serial");
  Array allHops;
  const size_t total = plan.targets.size();
  for (size_t i = 0; i < total && !outcome.stopped; ++i) {
    const Value& target = plan.targets[i];
    progress_.Step(static_cast<double>(i), static_cast<double>(total),
                   "unit " + std::to_string(i + 1) + "/" + std::to_string(total) + " " + labels[i]);
    UnitRun unit;
    if (!SurveyUnit(comInfo, plan, target, unit, stop, outcome)) {
      // A unit cut off has no result, as in the page; its probes are kept.
      RecordUnit(plan, i, unit, baseSerial, allHops);
      break;
    }
    Value entry = lm::json::MakeObject({{"target", target}});
    if (!unit.failed.is<picojson::null>()) {
      entry.get<Object>()["failed"] = unit.failed;
    } else {
      entry.get<Object>()["probes"] = Value(unit.probes);
      auto result = logic_.Call("routeResult", {plan.regInfo, target, Value(unit.probes),
                                                lm::json::MakeObject({{"thresholds", thresholds}})}, nullptr);
      if (result) unit.result = *result;
    }
    outcome.units.push_back(entry);
    if (MemberText(unit.result, "status") == "ok") ++outcome.answered;
    else ++outcome.notAnswered;
    RecordUnit(plan, i, unit, baseSerial, allHops);
  }
  progress_.Step(static_cast<double>(outcome.units.size()), static_cast<double>(total),
                 "surveyed " + std::to_string(outcome.units.size()) + " of " + std::to_string(total) + " units");
  progress_.Finish();
  std::string error;
  auto survey = logic_.Call("siteSurvey", {plan.regInfo, Value(outcome.units),
                                           lm::json::MakeObject({{"targets", Value(plan.targets)},
                                                                 {"thresholds", thresholds},
                                                                 {"when", lm::json::Number(NowMs())}})},
                            &error);
  if (survey) outcome.survey = *survey;
  else if (outcome.error.empty()) outcome.error = "the survey could not be judged: " + error;
  const bool complete = !outcome.stopped && outcome.units.size() == total;
  Object end{{"probes", Value(Array())}, {"hops", Value(std::move(allHops))}};
  if (complete) end["endedAt"] = lm::json::Number(NowMs());
  recorder_.SurveyProbes(surveyId_, std::move(end));
  return outcome;
}

}  // namespace linkmeter::cli
