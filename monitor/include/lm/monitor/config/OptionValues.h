#pragma once
// The monitor's settings as option texts ("--mail-to" -> "a@b"; a flag maps
// to ""), whether they came from the command line or the configuration
// file; the command that starts the monitor hands them over.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace lm::monitor {

struct OptionValues {
  std::map<std::string, std::string, std::less<>> values;

  bool Has(std::string_view name) const { return values.find(name) != values.end(); }
  std::optional<std::string> Get(std::string_view name) const {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
};

// A whole number in [lo, hi] written in decimal; nullopt otherwise.
std::optional<long> ParseWhole(const std::string& text, long lo, long hi);

}  // namespace lm::monitor
