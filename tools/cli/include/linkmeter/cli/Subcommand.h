#pragma once
// A subcommand of linkmeter-cli ("units", "survey", …): its name, usage and
// options, a check of its arguments made before anything starts, and the
// run over the page functions. The table of them is SubcommandTable.h.

#include <atomic>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "linkmeter/cli/ArgParser.h"
#include "lm/Json.h"

namespace linkmeter::cli {

class PageCalls;
class VisitJoining;
class PageFlows;
class SiteLogic;
class Output;
class Progress;

// The options every subcommand takes.
inline const std::vector<OptionRule> kCommonOptions{{"--format", true}, {"--demo", false}, {"--help", false}};
// The options of a subcommand that works with one base unit.
inline const std::vector<OptionRule> kUnitOptions{{"--unit", true}, {"--password-file", true, true}};
// A registration file for a base unit that cannot give its own.
inline const OptionRule kRegistrationOption{"--registration", true, true};
// The option of a subcommand whose work goes to the site records.
inline const std::vector<OptionRule> kRecordOptions{{"--no-record", false}};

struct CommandContext {
  PageCalls& page;
  const ParsedArgs& args;
  Output& output;
  std::ostream& err;
  Progress& progress;
  // The demo site's base units as it announced them (with LAN passwords);
  // empty without --demo.
  std::vector<lm::json::Value> demoUnits;
  // Set (by a signal) to end long work between steps.
  const std::atomic<bool>* stop = nullptr;
  // The page's flows (surveys, scans, the recorder) and its site logic,
  // both in this run's one JavaScriptCore context; `page` goes through the
  // flows.
  PageFlows* flows = nullptr;
  SiteLogic* logic = nullptr;
  // Which visits the run records in (VisitJoining.h); the monitor ends its
  // own through it.
  VisitJoining* visits = nullptr;

  bool demo() const { return args.Has("--demo"); }
  bool record() const { return !args.Has("--no-record"); }
  bool Stopped() const { return stop && stop->load(); }
};

struct Subcommand {
  std::string name;
  std::string summary;  // one line for the overview
  std::string usage;    // the synopsis after "linkmeter-cli "
  std::string details;  // what --help adds under the synopsis
  std::vector<OptionRule> options;  // besides kCommonOptions
  // A usage error text, or "" when the arguments may run; made before the
  // site or the store is touched.
  std::function<std::string(const ParsedArgs&)> check;
  std::function<int(CommandContext&)> run;
  // Whether the positional word at an index names a file (made absolute
  // after the check); none do when empty.
  std::function<bool(const ParsedArgs&, size_t)> fileWord;
};

// "linkmeter-cli NAME: message" and the subcommand's usage, on `err`;
// returns the usage exit status.
int UsageError(std::ostream& err, const Subcommand& command, const std::string& message);
// "linkmeter-cli: message" on `err`; returns `status`.
int Fail(std::ostream& err, int status, const std::string& message);

}  // namespace linkmeter::cli
