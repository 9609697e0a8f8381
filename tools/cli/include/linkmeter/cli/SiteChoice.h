#pragma once
// The site a --site option names: a site of the site records by its name
// or its serial in any form (PickUnit), or the well-formed serial of a site
// the records do not hold yet (a team server's, one the monitor has not
// surveyed).

#include <cstdint>
#include <optional>
#include <string>

namespace linkmeter::cli {

struct CommandContext;

// The site's serial, or nullopt with the reason written to ctx.err and
// `status` set: 3 when no site is named so, 2 when several are, 1 when the
// site records cannot be read.
std::optional<int64_t> ChooseSite(CommandContext& ctx, const std::string& wanted, int& status);

}  // namespace linkmeter::cli
