#include "linkmeter/cli/StoreSetAside.h"

#include <ostream>

#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"

namespace linkmeter::cli {

bool StoreWasSetAside(PageCalls& page, std::ostream& err) {
  PageAnswer status = page.Query("LmRecordsStatus", lm::json::Value(lm::json::Object()));
  if (!status.ok || MemberText(status.value, "state").rfind("set aside", 0) != 0) return false;
  err << "linkmeter-cli: the site records in " << MemberText(status.value, "path") << " were set aside as "
      << MemberText(status.value, "asidePath") << " and a new, empty store was started";
  const std::string message = MemberText(status.value, "message");
  if (!message.empty()) err << ": " << message;
  err << "\n";
  return true;
}

}  // namespace linkmeter::cli
