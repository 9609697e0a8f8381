#include "linkmeter/cli/SiteChoice.h"

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/UnitNames.h"

namespace linkmeter::cli {

std::optional<int64_t> ChooseSite(CommandContext& ctx, const std::string& wanted, int& status) {
  PageAnswer sites = ctx.page.Query("LmRecordsListSites", lm::json::Value(lm::json::Object()));
  if (!sites.ok || !sites.value.is<lm::json::Array>()) {
    status = Fail(ctx.err, kExitFailed, "the site records could not be read: " + FailureText(sites));
    return std::nullopt;
  }
  std::vector<NamedUnit> named;
  for (const auto& site : sites.value.get<lm::json::Array>()) {
    const lm::json::Value& serial = MemberValue(site, "serial");
    // The store answers serials as numbers; a text one is taken as written.
    named.push_back({serial.is<double>() ? SerialText(static_cast<int64_t>(serial.get<double>())) : NumberText(serial),
                     {MemberText(site, "name")}, ""});
  }
  const UnitPick pick = PickUnit(named, wanted, "site", true);
  if (pick.serial.empty()) {
    status = Fail(ctx.err, pick.ambiguous ? kExitUsage : kExitUnitNotFound, pick.error);
    return std::nullopt;
  }
  status = kExitOk;
  return SerialNumber(pick.serial);
}

}  // namespace linkmeter::cli
