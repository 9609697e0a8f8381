#include "linkmeter/cli/CliOptions.h"

#include "lm/Version.h"

namespace linkmeter::cli {

const char* const kCliUsage =
    "usage: linkmeter-cli [--demo] SUBCOMMAND [OPTIONS]   (listed below)\n"
    "       linkmeter-cli [OPTIONS] REQUEST...\n"
    "       linkmeter-cli [OPTIONS] -        (requests from standard input, one per line)\n"
    "\n"
    "A REQUEST is what the page sends: jsquery:<query name> <argument JSON>\n"
    "For example:\n"
    "  linkmeter-cli --demo 'jsquery:ComTcmdEBSTS {\"comInfo\":{\"com\":1,\"descr\":\"d\",\"model\":\"VL-B1\",'\n"
    "                       '\"name\":\"n\",\"serial\":\"009A0011\"}}'\n"
    "\n"
    "Each answer is printed on one line:\n"
    "  success <text> | failure <code> <text> | unhandled\n"
    "\n"
    "Options:\n"
    "  --list    print the registered query names and exit\n"
    "  --demo    run the built-in demo site inside this process and talk to it;\n"
    "            without a request, run a radio survey of one of its remote units\n"
    "  --help    show this text\n"
    "  --version print the version and exit\n"
    "\n"
    "Exit status of requests: 0 when every request succeeded, 1 when any failed, 2 on a usage error.\n"
    "Exit status of subcommands: 0 done, 1 failed, 2 usage error, 3 unit not found,\n"
    "4 wrong password, 5 partly done, 6 done but the site records could not be written,\n"
    "7 partly done and the site records could not be written,\n"
    "8 done but the site records were damaged or newer: set aside and a new store started.\n";

std::optional<CliOptions> ParseCliOptions(const std::vector<std::string>& args, std::string& error) {
  CliOptions options;
  bool onlyRequests = false;
  for (const std::string& a : args) {
    if (!onlyRequests && a == "--") {
      onlyRequests = true;
    } else if (!onlyRequests && a == "--list") {
      options.list = true;
    } else if (!onlyRequests && a == "--demo") {
      options.demo = true;
    } else if (!onlyRequests && (a == "--help" || a == "-h")) {
      options.help = true;
    } else if (!onlyRequests && a == "--version") {
      options.version = true;
    } else if (!onlyRequests && a == "-") {
      options.fromStdin = true;
    } else if (!onlyRequests && a.size() > 1 && a[0] == '-') {
      error = "unknown option: " + a;
      return std::nullopt;
    } else {
      options.requests.push_back(a);
    }
  }
  if (options.fromStdin && !options.requests.empty()) {
    error = "give requests either as arguments or on standard input, not both";
    return std::nullopt;
  }
  if (!options.help && !options.version && !options.list && !options.fromStdin && !options.demo && options.requests.empty()) {
    error = "no request given";
    return std::nullopt;
  }
  return options;
}

std::string CliVersionLine() { return std::string(lm::kVersionText) + "\n"; }

}  // namespace linkmeter::cli
