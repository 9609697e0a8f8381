#include "linkmeter/cli/CliOptions.h"

#include "lm/Version.h"

namespace linkmeter::cli {

std::string CliUsage(const std::string& subcommands) {
  return "usage: linkmeter-cli [--demo] SUBCOMMAND [OPTIONS]\n"
         "\n"
         "Subcommands (linkmeter-cli SUBCOMMAND --help for each):\n" +
         subcommands +
         "\n"
         "A unit or site option (--unit, --remote, --site, --hop) takes a name (RIVERSIDE, APPLE-2),\n"
         "a label the program prints (\"G1 R3\") or a serial with or without its leading zeros\n"
         "(00BC0502, bc0502). Tables are for reading; --format csv or --format json for scripts.\n"
         "\n"
         "Options:\n"
         "  --demo    run the built-in demo site inside this process and talk to it\n"
         "  --help    show this text\n"
         "  --version print the version and exit\n"
         "\n"
         "Exit status of subcommands: 0 done, 1 failed, 2 usage error, 3 unit not found,\n"
         "4 wrong password, 5 partly done, 6 done but the site records could not be written,\n"
         "7 partly done and the site records could not be written,\n"
         "8 done but the site records were damaged or newer: set aside and a new store started.\n"
         "\n"
         "Raw page requests, for scripts that speak the page's queries:\n"
         "       linkmeter-cli [--demo] [--list] REQUEST...\n"
         "       linkmeter-cli [--demo] [--list] -   (requests from standard input, one per line)\n"
         "A REQUEST is what the page sends: jsquery:<query name> <argument JSON>, for example\n"
         "  linkmeter-cli --demo 'jsquery:ComTcmdEBSTS {\"comInfo\":{\"com\":1,\"descr\":\"d\",\"model\":\"VL-B1\",'\n"
         "                       '\"name\":\"n\",\"serial\":\"009A0011\"}}'\n"
         "Each answer is printed on one line: success <text> | failure <code> <text> | unhandled.\n"
         "  --list    print the registered query names (then run any requests given)\n"
         "  --demo    without a request: a radio survey of one of the demo's remote units\n"
         "Exit status of requests: 0 when every request succeeded, 1 when any failed, 2 on a usage error.\n";
}

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
