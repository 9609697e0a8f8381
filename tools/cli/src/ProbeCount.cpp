#include "linkmeter/cli/ProbeCount.h"

#include "linkmeter/cli/SiteLogic.h"

namespace linkmeter::cli {

std::optional<int> ProbesPerRoute(const ParsedArgs& args, SiteLogic& logic) {
  if (auto given = args.Get("--probes")) {
    if (auto n = ParseCount(*given, 1, kMaxProbesPerRoute)) return static_cast<int>(*n);
  }
  auto fallback = logic.Call("defaultProbes", {}, nullptr);
  if (!fallback || !fallback->is<double>()) return std::nullopt;
  return static_cast<int>(fallback->get<double>());
}

}  // namespace linkmeter::cli
