#pragma once
// How many probes a survey sends each route: --probes N, else the default
// the site logic gives the page's site survey too.

#include <optional>

#include "linkmeter/cli/ArgParser.h"
#include "lm/SiteLimits.h"

namespace linkmeter::cli {

class SiteLogic;

// The most probes per route a survey takes: the page's limit.
inline constexpr long kMaxProbesPerRoute = lm::site::kProbesMax;

// The count in force; nullopt when the site logic gives no default.
std::optional<int> ProbesPerRoute(const ParsedArgs& args, SiteLogic& logic);

}  // namespace linkmeter::cli
