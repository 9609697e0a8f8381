#pragma once
// The page functions as the subcommands call them: a query name and one
// argument object in, the parsed answer or failure out, through the same
// router the page's requests take.

#include <cstdint>
#include <string>
#include <string_view>

#include "lm/Json.h"

namespace linkmeter::cli {

class PageFlows;

struct PageAnswer {
  bool ok = false;
  lm::json::Value value;  // the answer; on a failure the failure object (or its text)
  int32_t code = 0;       // the failure code
};

class PageCalls {
 public:
  virtual ~PageCalls() = default;
  virtual PageAnswer Query(const std::string& name, const lm::json::Value& arg) = 0;
  // A device command "ComTcmd" + mnemonic: a result with isSuccess false is
  // a failure too, its result the failure's value.
  PageAnswer Command(std::string_view mnemonic, lm::json::Object arg);
};

// Through the page's own api in the flows' JavaScriptCore, so the page's
// recorder sees every device call as the page's does.
class FlowPageCalls : public PageCalls {
 public:
  explicit FlowPageCalls(PageFlows& flows) : flows_(flows) {}
  PageAnswer Query(const std::string& name, const lm::json::Value& arg) override;

 private:
  PageFlows& flows_;
};

// One line saying why a call failed: the msg, with the unit's STATUS when it
// gave one.
std::string FailureText(const PageAnswer& answer);
// The base unit refused the LAN password (the library's login refusal).
bool IsWrongPassword(const PageAnswer& answer);
// The unit's link is gone (send/receive failures of a lost peer).
bool IsLinkLost(const PageAnswer& answer);

}  // namespace linkmeter::cli
