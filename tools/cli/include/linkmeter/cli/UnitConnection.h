#pragma once
// Finding and connecting the base unit a subcommand works with, the way
// the page's units view does: the three searches, then open and the unit's
// information, status and clock (RUINF, EBSTS, RDTIM); closed again when
// the connection object goes.

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "linkmeter/cli/UnitNames.h"
#include "lm/Json.h"

namespace linkmeter::cli {

class PageCalls;
class Progress;
struct CommandContext;

struct FoundUnits {
  std::vector<lm::json::Value> units;    // USB then LAN base units, as the searches answer them
  std::vector<lm::json::Value> loggers;  // loggers on optical ports
  std::vector<std::string> failures;     // searches that failed, each "what: why"
};

// The USB, LAN and logger searches in turn; one failing does not stop the
// others, a set `stop` (may be null) ends them between two searches.
FoundUnits SearchUnits(PageCalls& page, Progress& progress, const std::atomic<bool>* stop = nullptr);

struct UnitChoice {
  std::optional<lm::json::Value> entry;  // the search entry (or an address entry)
  int status = 0;                         // the exit status when none
  std::string error;
};

// The unit `wanted` names by serial, name (PickUnit) or address (a.b.c.d
// or a.b.c.d:port, which may be a unit no search found). Without `wanted`:
// the only unit found, or with a demo site its LAN unit.
UnitChoice ChooseUnit(const FoundUnits& found, const std::optional<std::string>& wanted,
                      const std::vector<lm::json::Value>& demoUnits);

// The LAN password: LINKMETER_PASSWORD, else the first line of
// `passwordFile`, else the demo site's for its own unit. `error` is set when
// the file cannot be read.
std::optional<std::string> LanPassword(const std::optional<std::string>& passwordFile, const lm::json::Value& entry,
                                       const std::vector<lm::json::Value>& demoUnits, std::string& error);

class UnitConnection {
 public:
  // Searches, chooses, opens and reads the unit's information; the exit
  // status and a message on `ctx.err` when it cannot.
  static std::unique_ptr<UnitConnection> Connect(CommandContext& ctx, int& status);
  ~UnitConnection();
  UnitConnection(const UnitConnection&) = delete;
  UnitConnection& operator=(const UnitConnection&) = delete;

  // The comInfo every device call carries (with the password for LAN).
  const lm::json::Value& ComInfo() const { return comInfo_; }
  // {ruinf, ebsts, rdtim}: the answers read on connecting.
  const lm::json::Value& Info() const { return info_; }
  std::string Serial() const;  // eight hex digits
  std::string Name() const;
  std::string Model() const;
  bool IsUsb() const;

  // Closes and opens the link again (after it was lost); false with the
  // reason when the unit does not open.
  bool Reopen(std::string& why);

 private:
  UnitConnection(PageCalls& page, lm::json::Value comInfo) : page_(page), comInfo_(std::move(comInfo)) {}
  void ReadInfo(Progress& progress);

  PageCalls& page_;
  lm::json::Value comInfo_;
  lm::json::Value info_;
};

}  // namespace linkmeter::cli
