#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"

namespace linkmeter::cli {

Subcommand ScanCommand() {
  return {"scan", "(being built)", "scan", "", {}, nullptr,
          [](CommandContext& ctx) { return Fail(ctx.err, kExitFailed, "scan is not built yet"); }};
}

}  // namespace linkmeter::cli
