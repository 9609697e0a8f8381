#pragma once
// How many probes a survey sends each route: --probes N, else the default
// the site logic gives the page's site survey too.

#include <optional>

#include "linkmeter/cli/ArgParser.h"

namespace linkmeter::cli {

class SiteLogic;

// The most probes per route a command-line survey takes.
inline constexpr long kMaxProbesPerRoute = 1000;

// The count in force; nullopt when the site logic gives no default.
std::optional<int> ProbesPerRoute(const ParsedArgs& args, SiteLogic& logic);

}  // namespace linkmeter::cli
