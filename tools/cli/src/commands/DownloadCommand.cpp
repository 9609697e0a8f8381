#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"

namespace linkmeter::cli {

Subcommand DownloadCommand() {
  return {"download", "(being built)", "download", "", {}, nullptr,
          [](CommandContext& ctx) { return Fail(ctx.err, kExitFailed, "download is not built yet"); }};
}

}  // namespace linkmeter::cli
