#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"

namespace linkmeter::cli {

Subcommand RecordsCommand() {
  return {"records", "(being built)", "records", "", {}, nullptr,
          [](CommandContext& ctx) { return Fail(ctx.err, kExitFailed, "records is not built yet"); }};
}

}  // namespace linkmeter::cli
