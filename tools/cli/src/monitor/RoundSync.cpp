#include "linkmeter/cli/monitor/RoundSync.h"

#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/UnitConnection.h"

namespace linkmeter::cli::monitor {

RoundSync::RoundSync(CommandContext& ctx) : ctx_(ctx), server_(ctx.args.Get("--sync-server")) {}

void RoundSync::AfterRound(const std::string& siteSerial) {
  if (!server_ || !ctx_.record()) return;
  lm::json::Value arg = lm::json::MakeObject({{"server", lm::json::String(*server_)}});
  if (auto serial = SerialNumber(siteSerial)) arg.get<lm::json::Object>()["serial"] = lm::json::Number(*serial);
  const PageAnswer done = ctx_.page.Query("LmRecordsSync", arg);
  if (!done.ok) {
    ctx_.err << "linkmeter-cli: team sync: " << FailureText(done) << "; the next round tries again\n" << std::flush;
    return;
  }
  const std::string sent = MemberText(done.value, "pushedVisits");
  if (sent != "0") ctx_.err << "linkmeter-cli: team sync: " << sent << " visits sent\n" << std::flush;
}

}  // namespace linkmeter::cli::monitor
