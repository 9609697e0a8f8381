#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"

namespace linkmeter::cli {

Subcommand SettingsCommand() {
  return {"settings", "(being built)", "settings", "", {}, nullptr,
          [](CommandContext& ctx) { return Fail(ctx.err, kExitFailed, "settings is not built yet"); }};
}

}  // namespace linkmeter::cli
