#include "linkmeter/cli/SiteCommandStart.h"

#include "linkmeter/cli/ExitCodes.h"

namespace linkmeter::cli {

SiteCommandStart::SiteCommandStart(CommandContext& ctx) : signals_(stop_), logic_(ctx.logic), status_(kExitOk) {
  if (!ctx.stop) ctx.stop = &stop_.Flag();
  if (!logic_) {
    status_ = Fail(ctx.err, kExitFailed, "the run has no site logic");
  } else if (!logic_->Ready()) {
    status_ = Fail(ctx.err, kExitFailed, "the site logic did not load: " + logic_->LoadError());
  }
}

}  // namespace linkmeter::cli
