#include "linkmeter/shell/ShellOptions.h"

namespace linkmeter::shell {

std::optional<ShellOptions> ParseShellOptions(const std::vector<std::string>& args, std::string& error) {
  ShellOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--console") {
      options.console = true;
    } else if (a == "--demo") {
      options.demo = true;
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
