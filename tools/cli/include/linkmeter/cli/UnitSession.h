#pragma once
// A subcommand's time with one base unit: connected as the page connects,
// a site-records visit open for as long (unless --no-record), the unit's
// information read on connecting kept as the page's recorder keeps it.
// The visit ends, then the unit is closed, when the session goes.

#include <memory>

#include "linkmeter/cli/SiteRecorder.h"
#include "linkmeter/cli/UnitConnection.h"

namespace linkmeter::cli {

struct CommandContext;

class UnitSession {
 public:
  // Nullptr with the exit status set (the reason already on ctx.err).
  static std::unique_ptr<UnitSession> Open(CommandContext& ctx, int& status);

  UnitConnection& Unit() { return *unit_; }
  SiteRecorder& Recorder() { return *recorder_; }
  // `status`, or the records' own status when the work went well but the
  // site records could not be written.
  int Finish(int status);

 private:
  UnitSession(CommandContext& ctx, std::unique_ptr<UnitConnection> unit);

  CommandContext& ctx_;
  std::unique_ptr<UnitConnection> unit_;    // closed last
  std::unique_ptr<SiteRecorder> recorder_;  // its visit ends first
};

}  // namespace linkmeter::cli
