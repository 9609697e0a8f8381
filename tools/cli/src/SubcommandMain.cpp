#include "linkmeter/cli/SubcommandMain.h"

#include <unistd.h>

#include <algorithm>
#include <iostream>
#include <sstream>

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/Progress.h"
#include "linkmeter/cli/SubcommandTable.h"

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
  std::vector<std::string> rest(args.begin() + static_cast<long>(at) + 1, args.end());
  if (at > 0) rest.push_back("--demo");
  std::string error;
  auto parsed = ParseArgs(rest, known, error);
  if (parsed && parsed->Has("--help")) {
    out << "usage: linkmeter-cli " << call.command->usage << "\n\n" << call.command->summary << "\n"
        << call.command->details;
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
  if (!parsed) {
    status = UsageError(err, *call.command, error);
    call.command = nullptr;
    return call;
  }
  call.args = std::move(*parsed);
  return call;
}

int RunSubcommand(const SubcommandCall& call, CliHost& host, const std::string& demoSummary, std::ostream& out,
                  std::ostream& err) {
  HostPageCalls page(host);
  Output output(out, ParseFormat(call.args.Get("--format").value_or("table")).value_or(Format::kTable));
  Progress progress(err, &err == &std::cerr && isatty(STDERR_FILENO));
  CommandContext ctx{page, call.args, output, err, progress, DemoUnits(demoSummary)};
  return call.command->run(ctx);
}

}  // namespace linkmeter::cli
