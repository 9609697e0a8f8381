#pragma once
// The command line of the GUI program.

#include <optional>
#include <string>
#include <vector>

namespace linkmeter::shell {

struct ShellOptions {
  std::string url;       // empty: the start page
  bool console = false;  // page console messages to standard error
  bool demo = false;     // run the built-in demo site inside the program
  bool devtools = false;     // developer keys without devtools_resources.pak
  bool automation = false;   // let WebDriver drive the window; no single-instance check
  // "#report-pdf?…": the page's print job (linkmeter-cli report); a window
  // of its own, never shown, that ends once the PDF is written.
  std::string printJob;
  bool help = false;
  bool version = false;
};

// The --help text, one line per option.
extern const char* const kShellUsage;

// Nullopt with `error` set on an unknown option or a missing value.
std::optional<ShellOptions> ParseShellOptions(const std::vector<std::string>& args, std::string& error);

// app://res/<program name>/index.html
std::string StartUrl(const std::string& programName);

// The scheme and host of a URL, up to the first '/' after "://" (the whole
// URL when it has none).
std::string OriginPrefix(const std::string& url);
bool SameOrigin(const std::string& a, const std::string& b);

}  // namespace linkmeter::shell
