#pragma once
// What the commands that visit a site's units (survey, accept, scan) set up
// before anything else, for their whole run: SIGINT or SIGTERM ending the
// work between two probes or calls (what was gathered is printed and kept,
// the visit ended), and the run's site logic ready.

#include "linkmeter/cli/SiteLogic.h"
#include "linkmeter/cli/Subcommand.h"
#include "lm/monitor/loop/CancelToken.h"
#include "lm/monitor/loop/StopSignals.h"

namespace linkmeter::cli {

class SiteCommandStart {
 public:
  // Points ctx.stop at the signals' flag unless the caller gave one; says
  // on ctx.err when the run has no site logic or it did not load.
  explicit SiteCommandStart(CommandContext& ctx);
  SiteCommandStart(const SiteCommandStart&) = delete;
  SiteCommandStart& operator=(const SiteCommandStart&) = delete;

  // kExitOk once the site logic is ready; otherwise the exit status of the
  // failure already reported.
  int Status() const { return status_; }
  SiteLogic& Logic() { return *logic_; }

 private:
  lm::monitor::CancelToken stop_;
  lm::monitor::StopSignals signals_;
  SiteLogic* logic_;
  int status_;
};

}  // namespace linkmeter::cli
