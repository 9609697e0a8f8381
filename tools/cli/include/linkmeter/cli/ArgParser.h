#pragma once
// Options of a subcommand: "--name value", "--name=value" or a bare flag,
// each declared once, in any order between the positional words.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linkmeter::cli {

struct OptionRule {
  std::string_view name;  // "--unit"
  bool takesValue = false;
  // The value names a file to read: made absolute and checked for reading
  // when the arguments are parsed, so no later change of the current
  // folder (the LAN search library makes one) changes which file it is.
  bool inputFile = false;
};

struct ParsedArgs {
  std::map<std::string, std::string, std::less<>> values;  // flags map to ""
  std::vector<std::string> positionals;

  bool Has(std::string_view name) const { return values.find(name) != values.end(); }
  std::optional<std::string> Get(std::string_view name) const;
};

// Nullopt with `error` set for an unknown option, a missing value, an
// option given twice or an input file that cannot be read. "--" ends the
// options.
std::optional<ParsedArgs> ParseArgs(const std::vector<std::string>& args, const std::vector<OptionRule>& known,
                                    std::string& error);

// `path` made absolute against the current folder (as it is now).
std::string AbsolutePath(const std::string& path);

// A whole number in [lo, hi] written in decimal; nullopt otherwise.
std::optional<long> ParseCount(const std::string& text, long lo, long hi);

}  // namespace linkmeter::cli
