#include "linkmeter/cli/SubcommandMain.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <sstream>

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/CliHost.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/PageFlows.h"
#include "linkmeter/cli/Progress.h"
#include "linkmeter/cli/ScriptContext.h"
#include "linkmeter/cli/SiteLogic.h"
#include "linkmeter/cli/SiteRegistration.h"
#include "linkmeter/cli/StoreSetAside.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/UnitSession.h"
#include "lm/records/StoreOpener.h"
#include "sorrel/js/Folders.h"
#include "linkmeter/cli/VisitJoining.h"

namespace linkmeter::cli {
namespace {

bool IsCommandWord(const std::string& word) {
  return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

std::vector<lm::json::Value> DemoUnits(const std::string& summary) {
  constexpr std::string_view kPrefix = "demo base unit: ";
  std::vector<lm::json::Value> units;
  std::istringstream lines(summary);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind(kPrefix, 0) != 0) continue;
    if (auto v = lm::json::Parse(line.substr(kPrefix.size())); v && v->is<lm::json::Object>()) units.push_back(*v);
  }
  return units;
}

bool Knows(const Subcommand& command, std::string_view option) {
  return std::any_of(command.options.begin(), command.options.end(),
                     [&](const OptionRule& rule) { return rule.name == option; });
}

// The records command, and a command that records unless --no-record.
bool KeepsRecords(const Subcommand& command, const ParsedArgs& args) {
  return command.name == "records" || (Knows(command, "--no-record") && !args.Has("--no-record"));
}

// File words made absolute, and a registration file read through: a file
// no retry can make readable is a usage error before any work starts.
std::string ResolveFiles(const Subcommand& command, ParsedArgs& args) {
  for (size_t i = 0; command.fileWord && i < args.positionals.size(); ++i) {
    if (command.fileWord(args, i)) args.positionals[i] = AbsolutePath(args.positionals[i]);
  }
  std::string error;
  if (auto file = args.Get("--registration"); file && !ReadRegistrationFile(*file, error)) return error;
  return "";
}

// The site-records store of this run, as the records functions open it.
std::filesystem::path StorePath(bool demo) {
  return std::filesystem::path(Sorrel::Js::AppDocumentsFolder()) /
         (demo ? lm::records::kDemoStoreFileName : lm::records::kStoreFileName);
}

}  // namespace

std::optional<SubcommandCall> FindSubcommandCall(const std::vector<std::string>& args, std::ostream& out,
                                                 std::ostream& err, int& status) {
  size_t at = 0;
  while (at < args.size() && args[at] == "--demo") ++at;
  if (at == args.size() || !IsCommandWord(args[at])) return std::nullopt;
  SubcommandCall call;
  call.command = FindSubcommand(args[at]);
  if (!call.command) {
    status = kExitUsage;
    err << "linkmeter-cli: unknown subcommand: " << args[at]
        << "\nusage: linkmeter-cli [--demo] SUBCOMMAND [OPTIONS], one of:\n" << SubcommandOverview();
    return call;
  }
  std::vector<OptionRule> known = kCommonOptions;
  known.insert(known.end(), call.command->options.begin(), call.command->options.end());
  // A command that records may ask for a visit of its own (VisitJoining.h).
  // The monitor always keeps visits of its own.
  if (Knows(*call.command, "--no-record") && std::string_view(call.command->name) != "monitor") {
    known.push_back({"--new-visit", false});
  }
  std::vector<std::string> rest(args.begin() + static_cast<long>(at) + 1, args.end());
  if (at > 0) rest.push_back("--demo");
  std::string error;
  auto parsed = ParseArgs(rest, known, error);
  if (parsed && parsed->Has("--help")) {
    out << FitLines("usage: linkmeter-cli " + call.command->usage + "\n\n" + call.command->summary + "\n" +
                    call.command->details);
    status = kExitOk;
    call.command = nullptr;
    return call;
  }
  if (parsed && parsed->Has("--format") && !ParseFormat(*parsed->Get("--format"))) {
    error = "--format takes table, csv or json";
    parsed.reset();
  }
  if (parsed && call.command->check) {
    error = call.command->check(*parsed);
    if (!error.empty()) parsed.reset();
  }
  if (parsed) error = ResolveFiles(*call.command, *parsed);
  if (!error.empty()) parsed.reset();
  if (!parsed) {
    status = UsageError(err, *call.command, error);
    call.command = nullptr;
    return call;
  }
  call.args = std::move(*parsed);
  return call;
}

int RunSubcommand(const SubcommandCall& call, CliHost& host, const std::string& demoSummary, std::ostream& out,
                  std::ostream& err, VisitJoining* visits) {
  Output output(out, ParseFormat(call.args.Get("--format").value_or("table")).value_or(Format::kTable));
  Progress progress(err, &err == &std::cerr && isatty(STDERR_FILENO));
  if (!host.Loop()) return Fail(err, kExitFailed, "the page's flows need the command line's loop");
  // One JavaScriptCore context for the run: the page's flows and its site
  // logic. Every page function goes through the page's api in the flows, so
  // the page's recorder sees what the subcommand does once it records.
  ScriptContext script;
  SiteLogic logic(script);
  PageFlows flows(script, host, *host.Loop(), progress, PendingWritesFile(StorePath(call.args.Has("--demo"))));
  std::string error;
  if (!script.Ready() || !BeginRecording(flows, false, error)) {
    return Fail(err, kExitFailed, script.Ready() ? error : script.LoadError());
  }
  FlowPageCalls page(flows);
  CommandContext ctx{page, call.args, output, err, progress, DemoUnits(demoSummary)};
  ctx.flows = &flows;
  ctx.visits = visits;
  ctx.logic = &logic;
  const bool monitor = std::string_view(call.command->name) == "monitor";
  using Mode = VisitJoining::Mode;
  if (visits) visits->StartRun(monitor ? Mode::kMonitor : call.args.Has("--new-visit") ? Mode::kOwn : Mode::kJoinOpen);
  const bool setAside = KeepsRecords(*call.command, call.args) && StoreWasSetAside(page, err);
  const int status = call.command->run(ctx);

  if (visits) err << UsedVisitsText(visits->UsedVisits());
  return setAside && status == kExitOk ? kExitStoreSetAside : status;
}

}  // namespace linkmeter::cli
