#pragma once
// A subcommand's time with one base unit: connected as the page connects,
// with the page's recorder (in the page's flows) keeping a site-records
// visit for as long (unless --no-record) and every device answer of it as
// the page keeps them. The visit ends, the writes the store could not take
// go to the pending file, then the unit is closed, when the session goes.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "linkmeter/cli/UnitConnection.h"
#include "lm/Json.h"

namespace linkmeter::cli {

struct CommandContext;
class PageFlows;

// How a run's site-records writes ended.
struct RecordsEnd {
  int pending = 0;           // writes kept in the pending file
  std::string file;          // that file
  std::string failed;        // why writes were lost, "" when none was
  std::optional<int64_t> surveyId;  // the last survey the store took
  bool Written() const { return pending == 0 && failed.empty(); }
};

class UnitSession {
 public:
  // Nullptr with the exit status set (the reason already on ctx.err).
  static std::unique_ptr<UnitSession> Open(CommandContext& ctx, int& status);
  ~UnitSession();

  UnitConnection& Unit() { return *unit_; }
  PageFlows& Flows() { return flows_; }
  // Ends the visit and settles the writes (once; later calls answer the same).
  const RecordsEnd& EndRecords();
  // `status`, with the records' own when writes were lost or left pending:
  // 6 after a finished run, 7 after a run partly done; the line on ctx.err
  // says which file keeps them.
  int Finish(int status);

 private:
  UnitSession(CommandContext& ctx, PageFlows& flows, std::unique_ptr<UnitConnection> unit);

  CommandContext& ctx_;
  PageFlows& flows_;
  std::unique_ptr<UnitConnection> unit_;  // closed after the visit ended
  std::optional<RecordsEnd> end_;
};

// Opens the flows' recording session (before a unit is connected) and
// ends it: what the store could not take is reported in `end`.
bool BeginRecording(PageFlows& flows, bool record, std::string& error);
RecordsEnd EndRecording(PageFlows& flows);

}  // namespace linkmeter::cli
