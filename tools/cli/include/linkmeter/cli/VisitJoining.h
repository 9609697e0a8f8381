#pragma once
// Which visit a command-line run records in. While another program (the
// window, most often) keeps a visit of the same site open, a run records in
// that visit instead of opening a second one of the same site at once,
// unless the run asks for a visit of its own (--new-visit). A visit joined
// that way is never ended by the run: its owner ends it.
//
// The monitor never joins: it keeps one visit of its own per site and day,
// marked as the monitor's, open across its rounds and ended when the day
// turns or the run ends, so History shows a day of rounds as one visit.
//
// It takes linkmeter.records.beginVisit and endVisit for the command line,
// registered ahead of the page's own functions, so every flow that records
// (the command line's or the page's run here) goes through it.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "lm/Json.h"
#include "lm/records/RecordStore.h"
#include "sorrel/cef/ArgReader.h"

namespace Sorrel::cef {
class Manager;
}
namespace Sorrel::Js {
class RecordsAccess;
}

namespace linkmeter::cli {

// How the monitor's visits name their technician: History's column shows it.
inline constexpr const char* kMonitorTechnician = "monitor";

class VisitJoining {
 public:
  enum class Mode {
    kJoinOpen,  // join another program's open visit of the site
    kOwn,       // --new-visit: a visit of its own each time
    kMonitor,   // one visit of its own per site and day, never joining
  };

  struct Used {
    int64_t visitId = 0;
    int64_t siteSerial = 0;
    bool joined = false;  // another program's open visit
  };

  // The time a visit begins and a day turns by: the computer's clock, or
  // one a test drives.
  using Clock = std::function<int64_t()>;
  explicit VisitJoining(Clock now = nullptr);

  // Registers both functions over `access`; call before the page's functions.
  static std::shared_ptr<VisitJoining> Register(Sorrel::cef::Manager& manager,
                                                std::shared_ptr<Sorrel::Js::RecordsAccess> access);

  // A run starts: how it finds its visits; forgets the last run's.
  void StartRun(Mode mode);
  // The run is ending: the monitor's visits still open, which endVisit
  // ends from now on (the run calls it for each).
  std::vector<int64_t> CloseMonitorVisits();
  // The visits this run began or joined, in order.
  std::vector<Used> UsedVisits() const;

  lm::json::Value Begin(lm::records::RecordStore& store, const Sorrel::cef::ArgReader& r);
  lm::json::Value End(lm::records::RecordStore& store, const Sorrel::cef::ArgReader& r);

 private:
  struct MonitorVisit {
    int64_t id = 0;
    int day = 0;  // the local day it was begun on (year * 1000 + day of year)
  };
  lm::json::Value BeginMonitorVisit(lm::records::RecordStore& store, const lm::records::SiteInfo& site,
                                    const Sorrel::cef::ArgReader& r);

  Clock now_;
  mutable std::mutex mutex_;
  Mode mode_ = Mode::kJoinOpen;
  std::map<int64_t, MonitorVisit> monitorVisits_;  // by site serial
  bool closing_ = false;
  std::set<int64_t> joined_;  // of every run: never ended by this process
  std::vector<Used> used_;
};

// "linkmeter-cli: recorded in visit 12 of site 009C0021 (a new visit)" and
// the like, one line per visit; "" when the run recorded nothing.
std::string UsedVisitsText(const std::vector<VisitJoining::Used>& used);

}  // namespace linkmeter::cli
