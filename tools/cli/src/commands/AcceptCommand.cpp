// linkmeter-cli accept: the acceptance survey (a site survey through the
// page's own flow, with the profile's probes per unit) judged against an
// acceptance profile by the page's own site logic with what the site
// records add (the map, earlier surveys, the channel scan, the log): the
// site verdict, each unit's verdict, deciding rule, cause and remedies, and
// the work ranked, kept in the site records as the page keeps them.
#include <algorithm>
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

// A person's table and its notes fit this many columns.
constexpr size_t kColumns = 100;

std::string Joined(const Value& unit, const std::string& key) {
  std::string out;
  for (const auto& text : MemberArray(unit, key)) out += (out.empty() ? "" : " ") + (text.is<std::string>() ? text.get<std::string>() : "");
  return out;
}

std::string CauseCell(const Value& unit) {
  const Value& d = MemberValue(unit, "diagnosis");
  if (!d.is<lm::json::Object>()) return "";
  return MemberText(d, "causeShort") + " (" + MemberText(d, "confidenceText") + ")";
}

// For scripts (CSV): one row per unit with everything said of it.
Table FullTable(const Value& acceptance) {
  Table t{{"group", "unit", "serial", "verdict", "rule", "findings", "remedy", "cause", "evidence"}, {}};
  for (const auto& u : MemberArray(acceptance, "units")) {
    const Value& d = MemberValue(u, "diagnosis");
    t.rows.push_back({MemberText(u, "groupName"), MemberText(u, "label"), MemberText(u, "serial"),
                      MemberText(u, "verdictText"), MemberText(u, "ruleText"), Joined(u, "findingTexts"),
                      Joined(u, "remedyTexts"), MemberText(d, "causeText"), Joined(d, "evidence")});
  }
  return t;
}

// For a person: one short row per unit; the words follow as notes.
Table ShortTable(const Value& acceptance) {
  Table t{{"unit", "serial", "verdict", "rule", "cause"}, {}};
  for (const auto& u : MemberArray(acceptance, "units")) {
    t.rows.push_back({MemberText(u, "label"), MemberText(u, "serial"), MemberText(u, "verdictText"),
                      MemberText(u, "ruleText"), CauseCell(u)});
  }
  return t;
}

// Code points, as the table counts them.
size_t Width(const std::string& s) {
  return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// `text` broken at spaces into lines of at most kColumns, the first after
// `first`, the rest after `rest` (a word longer than a line stands alone).
void Wrapped(std::vector<std::string>& lines, const std::string& text, const std::string& first, const std::string& rest) {
  std::istringstream words(text);
  std::string word, line = first;
  bool empty = true;
  while (words >> word) {
    if (!empty && Width(line) + 1 + Width(word) > kColumns) {
      lines.push_back(line);
      line = rest;
      empty = true;
    }
    line += (empty ? "" : " ") + word;
    empty = false;
  }
  if (!empty) lines.push_back(line);
}

void ActionNotes(std::vector<std::string>& notes, const Value& acceptance, const std::string& key, const std::string& title) {
  const auto& actions = MemberArray(acceptance, key);
  if (actions.empty()) return;
  notes.push_back("");
  notes.push_back(title);
  int n = 0;
  for (const auto& a : actions) Wrapped(notes, MemberText(a, "text"), "  " + std::to_string(++n) + ". ", "     ");
}

std::vector<std::string> Notes(const Value& acceptance, const SurveyOutcome& outcome) {
  std::vector<std::string> notes;
  bool why = false;
  for (const auto& u : MemberArray(acceptance, "units")) {
    const Value& d = MemberValue(u, "diagnosis");
    if (!d.is<lm::json::Object>() || MemberValue(u, "waiver").is<lm::json::Object>()) continue;
    if (!why) notes.insert(notes.end(), {"", "Why they fail:"});
    why = true;
    Wrapped(notes, MemberText(u, "label") + ": " + MemberText(d, "line"), "  ", "    ");
    for (const auto& e : MemberArray(d, "evidence")) Wrapped(notes, "- " + NumberText(e), "    ", "      ");
  }
  ActionNotes(notes, acceptance, "fixFirst", "Fix these first:");
  ActionNotes(notes, acceptance, "gainMargin", "To gain margin:");
  const auto& fit = MemberArray(acceptance, "fitLines");
  if (!fit.empty()) notes.insert(notes.end(), {"", "The site's own propagation:"});
  for (const auto& line : fit) Wrapped(notes, NumberText(line), "  ", "  ");
  notes.push_back("");
  Wrapped(notes, MemberText(acceptance, "siteText") + " — " + MemberText(acceptance, "countsText"), "", "  ");
  notes.push_back("profile: " + MemberText(acceptance, "profileTitle"));
  for (const auto& rule : MemberArray(acceptance, "rules")) Wrapped(notes, MemberText(rule, "text"), "  ", "    ");
  if (outcome.stopped) Wrapped(notes, "the acceptance survey was cut short: " + outcome.error, "", "  ");
  return notes;
}

// What the site records add to the judgement, or null when they cannot
// be read (the acceptance then says what it could not tell).
Value Evidence(PageFlows& flows, const Value& base, const SurveyPlan& plan, const SurveyOutcome& outcome) {
  const Value& survey = outcome.survey;
  const Value arg = lm::json::MakeObject({{"base", base}, {"regInfo", plan.regInfo},
                                          {"started", MemberValue(survey, "started")},
                                          {"finished", MemberValue(survey, "finished")}});
  auto evidence = flows.Run("diagnosisEvidence", {arg}, nullptr);
  return evidence ? *evidence : Value();
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
                                              {"started", MemberValue(outcome.survey, "started")},
                                              {"evidence", Evidence(session->Flows(), base, *plan, outcome)},
                                              {"language", lm::json::String(UserLanguage())}});
  auto acceptance = logic.Call("acceptance", {plan->regInfo, Value(outcome.units), options}, &error);
  if (!acceptance) return session->Finish(Fail(ctx.err, kExitFailed, "the acceptance could not be judged: " + error));
  if (ctx.record()) session->Flows().Run("recordAcceptance", {lm::json::MakeObject({{"acceptance", *acceptance}})}, nullptr);
  const bool person = ctx.output.format() == Format::kTable;
  ctx.output.Write(person ? ShortTable(*acceptance) : FullTable(*acceptance), *acceptance, Notes(*acceptance, outcome));
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
          "Prints each unit's verdict (pass, marginal, fail), the rule that decided and the cause,\n"
          "read from the survey and what the site records hold (the map's distances, earlier\n"
          "surveys, the channel scan, the log), why each failing unit fails, the work ranked\n"
          "(\"Fix these first\", cheapest first, repeater positions where the map allows), what\n"
          "gains margin, then the site verdict with counts (PASS or FAIL). CSV and JSON carry\n"
          "every finding, remedy and cause. The acceptance is kept in the site records with the\n"
          "survey. Exit status 0 when the site passes, 5 when it fails.\n",
          {kUnitOptions[0], kUnitOptions[1], kRecordOptions[0], {"--probes", true}, {"--profile", true, true},
           kRegistrationOption},
          Check,
          Run};
}

}  // namespace linkmeter::cli
