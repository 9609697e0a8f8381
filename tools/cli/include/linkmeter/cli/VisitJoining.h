#pragma once
// Which visit a command-line run records in. While another program (the
// window, most often) keeps a visit of the same site open, a run records in
// that visit instead of opening a second one of the same site at once,
// unless the run asks for a visit of its own (--new-visit). A visit joined
// that way is never ended by the run: its owner ends it.
//
// It takes linkmeter.records.beginVisit and endVisit for the command line,
// registered ahead of the page's own functions, so every flow that records
// (the command line's or the page's run here) goes through it.

#include <cstdint>
#include <memory>
#include <mutex>
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

class VisitJoining {
 public:
  struct Used {
    int64_t visitId = 0;
    int64_t siteSerial = 0;
    bool joined = false;  // another program's open visit
  };

  // Registers both functions over `access`; call before the page's functions.
  static std::shared_ptr<VisitJoining> Register(Sorrel::cef::Manager& manager,
                                                std::shared_ptr<Sorrel::Js::RecordsAccess> access);

  // A run starts: whether it joins open visits; forgets the last run's.
  void StartRun(bool joinOpenVisits);
  // The visits this run began or joined, in order.
  std::vector<Used> UsedVisits() const;

  lm::json::Value Begin(lm::records::RecordStore& store, const Sorrel::cef::ArgReader& r);
  lm::json::Value End(lm::records::RecordStore& store, const Sorrel::cef::ArgReader& r);

 private:
  mutable std::mutex mutex_;
  bool join_ = true;
  std::set<int64_t> joined_;  // of every run: never ended by this process
  std::vector<Used> used_;
};

// "linkmeter-cli: recorded in visit 12 of site 009C0021 (a new visit)" and
// the like, one line per visit; "" when the run recorded nothing.
std::string UsedVisitsText(const std::vector<VisitJoining::Used>& used);

}  // namespace linkmeter::cli
