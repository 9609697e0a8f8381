// linkmeter-cli survey: a route survey of one remote unit or repeater, or
// a survey of every remote unit of the site, with per-hop statistics and
// verdicts worked out by the page's own modules.
#include <sstream>

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/ProbeCount.h"
#include "linkmeter/cli/Progress.h"
#include "linkmeter/cli/SiteCommandStart.h"
#include "linkmeter/cli/SiteLogic.h"
#include "linkmeter/cli/SiteRegistration.h"
#include "linkmeter/cli/SurveyFlow.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/UnitSession.h"

namespace linkmeter::cli {
namespace {

using lm::json::Array;
using lm::json::Object;
using lm::json::Value;

std::string Check(const ParsedArgs& args) {
  if (args.Has("--remote") == args.Has("--site")) return "give either --remote UNIT or --site";
  if (auto n = args.Get("--probes"); n && !ParseCount(*n, 1, kMaxProbesPerRoute)) {
    return "--probes takes a whole number from 1 to " + std::to_string(kMaxProbesPerRoute);
  }
  if (auto c = args.Get("--command"); c && *c != "EWLEX" && *c != "EWLRU") return "--command takes EWLEX or EWLRU";
  if (!args.positionals.empty()) return "unexpected argument: " + args.positionals.front();
  return "";
}

std::string RouteText(const Value& result) {
  std::string text;
  for (const auto& hop : MemberArray(result, "hops")) text += (text.empty() ? "" : " > ") + MemberText(hop, "label");
  return text;
}

std::string ProbesText(const Value& result) {
  const Value& far = MemberValue(result, "far");
  return MemberText(far, "asked").empty() || MemberText(far, "asked") == "0"
             ? "-"
             : MemberText(far, "answered") + "/" + MemberText(far, "asked");
}

// One row per unit: where it is, its route, weakest hop, probes and verdict.
Table UnitTable(const Value& survey) {
  Table t{{"group", "unit", "serial", "model", "route", "weakest", "probes", "verdict", "status"}, {}};
  const Array& units = MemberArray(MemberValue(survey, "summary"), "units");
  const Array& results = MemberArray(survey, "results");
  for (size_t i = 0; i < results.size(); ++i) {
    const Value& r = results[i];
    const Value& unit = i < units.size() ? units[i] : Value();
    const Value& hop = MemberValue(unit, "hop");
    std::string weakest = hop.is<Object>() ? MemberText(hop, "label") + " " + MemberText(unit, "level") : "-";
    std::string status = MemberText(r, "status");
    if (status == "failed" && !MemberText(r, "msg").empty()) status += ": " + MemberText(r, "msg");
    const Value& target = MemberValue(r, "target");
    t.rows.push_back({MemberText(MemberValue(r, "group"), "name"), MemberText(target, "label"),
                      MemberText(target, "serial"), MemberText(target, "model"), RouteText(r), weakest, ProbesText(r),
                      MemberText(r, "verdict"), status});
  }
  return t;
}

// One row per hop of every unit: the link statistics over its probes.
Table HopTable(const Value& survey) {
  Table t{{"unit", "unit serial", "hop", "hop label", "hop serial", "sent", "answered", "min", "median", "max",
           "battery", "verdict"},
          {}};
  for (const auto& r : MemberArray(survey, "results")) {
    int n = 0;
    for (const auto& hop : MemberArray(r, "hops")) {
      const Value& f = MemberValue(hop, "figures");
      t.rows.push_back({MemberText(MemberValue(r, "target"), "label"), MemberText(MemberValue(r, "target"), "serial"),
                        std::to_string(++n), MemberText(hop, "label"), MemberText(hop, "serial"),
                        MemberText(f, "asked"), MemberText(f, "answered"), MemberText(f, "min"),
                        MemberText(f, "median"), MemberText(f, "max"), MemberText(f, "battery"),
                        MemberText(hop, "verdict")});
    }
  }
  return t;
}

std::vector<std::string> Notes(const Value& survey, const SurveyOutcome& outcome) {
  std::ostringstream hops;
  WriteAligned(hops, HopTable(survey));
  std::vector<std::string> notes{""};
  std::istringstream lines(hops.str());
  for (std::string line; std::getline(lines, line);) notes.push_back(line);
  const Value& s = MemberValue(survey, "summary");
  notes.push_back("");
  notes.push_back(MemberText(s, "answered") + " of " + MemberText(s, "total") + " units answered" +
                  (outcome.stopped ? " (cut short: " + outcome.error + ")" : ""));
  for (const auto& silent : MemberArray(s, "silent")) {
    notes.push_back("did not answer: " + MemberText(silent, "label") + " (" + MemberText(silent, "serial") + ", " +
                    MemberText(silent, "status") + ")");
  }
  // Batteries the site logic's battery classes call low or empty, once per unit.
  for (const auto& b : MemberArray(s, "batteries")) {
    notes.push_back("battery " + MemberText(b, "batteryClass") + ": " + MemberText(b, "label") + " (" +
                    MemberText(b, "serial") + ") at " + MemberText(b, "battery") + " %");
  }
  return notes;
}

Value Json(const UnitSession& session, const SurveyPlan& plan, const SurveyOutcome& outcome, const Value& th) {
  auto& s = const_cast<UnitSession&>(session);
  return lm::json::MakeObject(
      {{"baseUnit", lm::json::MakeObject({{"serial", lm::json::String(s.Unit().Serial())},
                                          {"name", lm::json::String(s.Unit().Name())},
                                          {"model", lm::json::String(s.Unit().Model())}})},
       {"kind", lm::json::String(plan.kind)},
       {"command", lm::json::String(plan.mnemonic)},
       {"probesPerRoute", lm::json::Number(plan.probes)},
       {"registration", plan.regInfo},
       {"thresholds", th},
       {"units", Value(outcome.units)},
       {"survey", outcome.survey},
       {"stopped", lm::json::Bool(outcome.stopped)},
       {"error", lm::json::String(outcome.error)},
       {"recordId", outcome.recordId ? lm::json::Number(*outcome.recordId) : Value()}});
}

int Run(CommandContext& ctx) {
  SiteCommandStart start(ctx);
  if (start.Status() != kExitOk) return start.Status();
  SiteLogic& logic = start.Logic();
  int status = kExitOk;
  auto session = UnitSession::Open(ctx, status);
  if (!session) return status;
  std::string error;
  auto regInfo = SiteRegistration(ctx.page, session->Unit(), session->Flows(), ctx.args.Get("--registration"), error);
  if (!regInfo) return session->Finish(Fail(ctx.err, kExitFailed, error));
  auto probes = ProbesPerRoute(ctx.args, logic);
  if (!probes) return session->Finish(Fail(ctx.err, kExitFailed, "the site logic gives no default probe count"));
  Value routeTarget;
  if (auto remote = ctx.args.Get("--remote")) {
    auto target = TargetNamed(logic, *regInfo, *remote, true, error);
    if (!target) return session->Finish(Fail(ctx.err, kExitFailed, error));
    routeTarget = *target;
  }
  auto planned = PlanSurvey(logic, *regInfo, *probes, routeTarget, error);
  if (!planned) return session->Finish(Fail(ctx.err, kExitFailed, error));
  SurveyPlan& plan = *planned;
  plan.mnemonic = ctx.args.Get("--command").value_or("EWLEX");
  SurveyOutcome outcome = RunSurveyFlow(session->Flows(), session->Unit().ComInfo(), plan, ctx.stop);
  if (outcome.survey.is<picojson::null>()) return session->Finish(Fail(ctx.err, kExitFailed, outcome.error));
  // The survey's record id is known once the writes are settled.
  outcome.recordId = session->EndRecords().surveyId;
  ctx.output.Write(ctx.output.format() == Format::kCsv ? HopTable(outcome.survey) : UnitTable(outcome.survey),
                   Json(*session, plan, outcome, plan.thresholds), Notes(outcome.survey, outcome));
  if (outcome.stopped) ctx.err << "linkmeter-cli: survey cut short: " << outcome.error << "\n";
  return session->Finish(outcome.stopped || outcome.notAnswered > 0 ? kExitPartly : kExitOk);
}

}  // namespace

Subcommand SurveyCommand() {
  return {"survey",
          "a route survey or a whole-site survey with per-hop statistics",
          "survey [--unit U] (--remote UNIT | --site) [--probes N] [--command EWLEX|EWLRU]\n"
          "                     [--registration FILE] [--no-record] [--format table|csv|json]",
          "--remote UNIT surveys the route to one remote unit or repeater of the base unit's\n"
          "registration (its name, label or serial: APPLE-2, \"G1 R3\", 00BC0502 or BC0502);\n"
          "--site surveys every remote unit in turn. Each target gets N probes (default 5, as\n"
          "the page's site survey); the table gives each unit's route, weakest hop, probes\n"
          "answered and verdict, then every hop's statistics and the batteries the site logic\n"
          "calls low or empty (CSV: the hops). JSON carries the registration, every probe's raw\n"
          "answer and the judged results. --registration FILE takes the routes from a file for a\n"
          "base unit whose registration cannot be read. Exit status 5 when a unit did not answer\n"
          "or the survey was cut short.\n",
          {kUnitOptions[0], kUnitOptions[1], kRecordOptions[0], {"--remote", true}, {"--site", false},
           {"--probes", true}, {"--command", true}, kRegistrationOption},
          Check,
          Run};
}

}  // namespace linkmeter::cli
