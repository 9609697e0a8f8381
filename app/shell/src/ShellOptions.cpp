#include "linkmeter/shell/ShellOptions.h"

namespace linkmeter::shell {

const char* const kShellUsage =
    "usage: linkmeter [options]\n"
    "  --url URL      show URL instead of the start page\n"
    "  --console      copy the page's console messages to standard error\n"
    "  --demo         run the built-in demo site inside the program\n"
    "  --devtools     enable the inspector (Ctrl+Shift+I) and reload (F5) keys\n"
    "  --automation   let WebDriver (WebKitWebDriver) drive the window; allows remote control\n"
    "  --print-job J  print a report as PDF without showing a window (J from linkmeter-cli report)\n"
    "  --version      print the version and exit\n"
    "  --help         print this text and exit\n";

std::optional<ShellOptions> ParseShellOptions(const std::vector<std::string>& args, std::string& error) {
  ShellOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--console") {
      options.console = true;
    } else if (a == "--demo") {
      options.demo = true;
    } else if (a == "--devtools") {
      options.devtools = true;
    } else if (a == "--automation") {
      options.automation = true;
    } else if (a == "--print-job") {
      // Only the page's own job: the address part it reads, nothing else.
      if (i + 1 >= args.size() || args[i + 1].rfind("#report-pdf?", 0) != 0) {
        error = "--print-job needs a report job (#report-pdf?...)";
        return std::nullopt;
      }
      options.printJob = args[++i];
    } else if (a == "--help" || a == "-h") {
      options.help = true;
    } else if (a == "--version") {
      options.version = true;
    } else if (a == "--url") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = "--url needs a URL";
        return std::nullopt;
      }
      options.url = args[++i];
    } else if (a.rfind("--url=", 0) == 0 && a.size() > 6) {
      options.url = a.substr(6);
    } else {
      error = "unknown option: " + a;
      return std::nullopt;
    }
  }
  return options;
}

std::string StartUrl(const std::string& programName) { return "app://res/" + programName + "/index.html"; }

std::string OriginPrefix(const std::string& url) {
  size_t scheme = url.find("://");
  if (scheme == std::string::npos) return url;
  size_t slash = url.find('/', scheme + 3);
  return slash == std::string::npos ? url : url.substr(0, slash);
}

bool SameOrigin(const std::string& a, const std::string& b) { return OriginPrefix(a) == OriginPrefix(b); }

}  // namespace linkmeter::shell
