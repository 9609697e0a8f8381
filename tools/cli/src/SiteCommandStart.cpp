#include "linkmeter/cli/SiteCommandStart.h"

#include "linkmeter/cli/ExitCodes.h"

namespace linkmeter::cli {

SiteCommandStart::SiteCommandStart(CommandContext& ctx) : signals_(stop_), status_(kExitOk) {
  if (!ctx.stop) ctx.stop = &stop_.Flag();
  if (!logic_.Ready()) status_ = Fail(ctx.err, kExitFailed, "the site logic did not load: " + logic_.LoadError());
}

}  // namespace linkmeter::cli
