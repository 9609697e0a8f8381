// linkmeter-cli accept: the acceptance survey (a site survey through the
// page's own flow, with the profile's probes per unit) judged against an
// acceptance profile by the page's own site logic: the site verdict, each
// unit's verdict, deciding rule and remedies, kept in the site records as
// the page keeps them.
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageFlows.h"
#include "linkmeter/cli/ProbeCount.h"
#include "linkmeter/cli/SiteCommandStart.h"
#include "linkmeter/cli/SiteLogic.h"
#include "linkmeter/cli/SiteRegistration.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/UserLanguage.h"
#include "linkmeter/cli/SurveyFlow.h"
#include "linkmeter/cli/UnitSession.h"

namespace linkmeter::cli {
namespace {

using lm::json::Value;

// A profile is a few hundred bytes; anything far larger is not one.
constexpr std::streamsize kProfileMaxBytes = 64 * 1024;

std::string Check(const ParsedArgs& args) {
  if (auto n = args.Get("--probes"); n && !ParseCount(*n, 1, kMaxProbesPerRoute)) {
    return "--probes takes a whole number from 1 to " + std::to_string(kMaxProbesPerRoute);
  }
  if (!args.positionals.empty()) return "unexpected argument: " + args.positionals.front();
  return "";
}

// The profile of --profile FILE checked by the site logic, or the default.
std::optional<Value> Profile(const ParsedArgs& args, SiteLogic& logic, std::string& error) {
  auto file = args.Get("--profile");
  if (!file) return logic.Call("defaultProfile", {}, &error);
  std::ifstream in(*file, std::ios::binary);
  if (!in) {
    error = "the profile " + *file + " cannot be read";
    return std::nullopt;
  }
  std::string text(static_cast<size_t>(kProfileMaxBytes) + 1, '\0');
  in.read(text.data(), kProfileMaxBytes + 1);
  text.resize(static_cast<size_t>(in.gcount()));
  if (text.size() > static_cast<size_t>(kProfileMaxBytes)) {
    error = "the profile " + *file + " is larger than a profile can be";
    return std::nullopt;
  }
  auto profile = logic.Call("profileFromText", {Value(text)}, &error);
  if (!profile) error = "the profile " + *file + " is not usable: " + error;
  return profile;
}

std::string Joined(const Value& unit, const std::string& key) {
  std::string out;
  for (const auto& text : MemberArray(unit, key)) out += (out.empty() ? "" : " ") + (text.is<std::string>() ? text.get<std::string>() : "");
  return out;
}

// One row per unit: its verdict, the rule that decided and what to do.
Table UnitTable(const Value& acceptance) {
  Table t{{"group", "unit", "serial", "verdict", "rule", "findings", "remedy"}, {}};
  for (const auto& u : MemberArray(acceptance, "units")) {
    t.rows.push_back({MemberText(u, "groupName"), MemberText(u, "label"), MemberText(u, "serial"),
                      MemberText(u, "verdictText"), MemberText(u, "ruleText"), Joined(u, "findingTexts"),
                      Joined(u, "remedyTexts")});
  }
  return t;
}

std::vector<std::string> Notes(const Value& acceptance, const SurveyOutcome& outcome) {
  std::vector<std::string> notes{"", MemberText(acceptance, "siteText") + " — " + MemberText(acceptance, "countsText"),
                                 "profile: " + MemberText(acceptance, "profileTitle")};
  for (const auto& rule : MemberArray(acceptance, "rules")) notes.push_back("  " + MemberText(rule, "text"));
  if (outcome.stopped) notes.push_back("the acceptance survey was cut short: " + outcome.error);
  return notes;
}

int Run(CommandContext& ctx) {
  SiteCommandStart start(ctx);
  if (start.Status() != kExitOk) return start.Status();
  SiteLogic& logic = start.Logic();
  std::string error;
  auto profile = Profile(ctx.args, logic, error);
  if (!profile) return Fail(ctx.err, kExitFailed, error);
  int status = kExitOk;
  auto session = UnitSession::Open(ctx, status);
  if (!session) return status;
  auto regInfo = SiteRegistration(ctx.page, session->Unit(), session->Flows(), ctx.args.Get("--registration"), error);
  if (!regInfo) return session->Finish(Fail(ctx.err, kExitFailed, error));
  const int profileProbes = static_cast<int>(MemberValue(*profile, "probes").get<double>());
  const auto given = ctx.args.Get("--probes");
  const int probes = given ? static_cast<int>(*ParseCount(*given, 1, kMaxProbesPerRoute)) : profileProbes;
  auto plan = PlanSurvey(logic, *regInfo, probes, Value(), error);
  if (!plan) return session->Finish(Fail(ctx.err, kExitFailed, error));
  SurveyOutcome outcome = RunSurveyFlow(session->Flows(), session->Unit().ComInfo(), *plan, ctx.stop);
  if (outcome.survey.is<picojson::null>()) return session->Finish(Fail(ctx.err, kExitFailed, outcome.error));
  const Value base = lm::json::MakeObject({{"serial", lm::json::String(session->Unit().Serial())},
                                           {"name", lm::json::String(session->Unit().Name())}});
  const Value options = lm::json::MakeObject({{"profile", *profile}, {"thresholds", plan->thresholds},
                                              {"targets", Value(plan->targets)}, {"base", base},
                                              {"stopped", lm::json::Bool(outcome.stopped)},
                                              {"language", lm::json::String(UserLanguage())}});
  auto acceptance = logic.Call("acceptance", {plan->regInfo, Value(outcome.units), options}, &error);
  if (!acceptance) return session->Finish(Fail(ctx.err, kExitFailed, "the acceptance could not be judged: " + error));
  if (ctx.record()) session->Flows().Run("recordAcceptance", {lm::json::MakeObject({{"acceptance", *acceptance}})}, nullptr);
  ctx.output.Write(UnitTable(*acceptance), *acceptance, Notes(*acceptance, outcome));
  return session->Finish(MemberText(*acceptance, "verdict") == "fail" ? kExitPartly : kExitOk);
}

}  // namespace

Subcommand AcceptCommand() {
  return {"accept",
          "an acceptance survey: the site verdict against an acceptance profile, each unit's remedy",
          "accept [--unit U] [--probes N] [--profile FILE] [--registration FILE] [--no-record]\n"
          "                     [--format table|csv|json]",
          "Surveys every remote unit with the profile's probes per route (--probes N instead;\n"
          "fewer than the profile asks fail as \"not enough probes\") and judges the site against\n"
          "the acceptance profile: Standard v1, or the JSON profile of --profile FILE (the page's\n"
          "rules: name, version, probes, hopMedian, lostAllowed, lostPer, maxHops, repeaterUnits).\n"
          "Prints each unit's verdict (pass, marginal, fail), the rule that decided, its findings\n"
          "and remedies, then the site verdict with counts (PASS or FAIL). The acceptance is kept\n"
          "in the site records with the survey. Exit status 0 when the site passes, 5 when it fails.\n",
          {kUnitOptions[0], kUnitOptions[1], kRecordOptions[0], {"--probes", true}, {"--profile", true, true},
           kRegistrationOption},
          Check,
          Run};
}

}  // namespace linkmeter::cli
