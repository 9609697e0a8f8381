#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"

namespace linkmeter::cli {

Subcommand LogCommand() {
  return {"log", "(being built)", "log", "", {}, nullptr,
          [](CommandContext& ctx) { return Fail(ctx.err, kExitFailed, "log is not built yet"); }};
}

}  // namespace linkmeter::cli
