#pragma once

#include <optional>
#include <string>
#include <vector>

namespace linkmeter::cli {

struct CliOptions {
  bool list = false;        // --list: print the registered query names
  bool fromStdin = false;   // "-": request texts from standard input
  bool demo = false;        // --demo: talk to the built-in demo site
  bool help = false;
  bool version = false;     // --version: print the version text
  std::vector<std::string> requests;
};

// Nullopt with `error` set on a usage error.
std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error);

// The usage --help prints: the subcommands (`subcommands`, as
// SubcommandOverview() lists them) first, the raw request mode after.
std::string CliUsage(const std::string& subcommands);

// The version text and a newline, for --version; the same in every program.
std::string CliVersionLine();

}  // namespace linkmeter::cli
