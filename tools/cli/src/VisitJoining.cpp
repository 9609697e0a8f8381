#include "linkmeter/cli/VisitJoining.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "sorrel/cef/Exception.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/js/RecordsFunctions.h"
#include "sorrel/js/RecordsJson.h"

namespace linkmeter::cli {
namespace {

namespace rec = lm::records;
namespace rj = Sorrel::Js::records_json;

template <class T>
T Take(rec::Result<T> result) {
  if (!result) {
    throw Sorrel::cef::JsExecuteException(Sorrel::Js::RecordsQuery::StoreCode(result.error().code),
                                          result.error().message);
  }
  return std::move(*result);
}

rec::Millis Now() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// year * 1000 + day of the year, in the computer's time zone.
int LocalDay(rec::Millis at) {
  const std::time_t t = static_cast<std::time_t>(at / 1000);
  std::tm local{};
  localtime_r(&t, &local);
  return (local.tm_year + 1900) * 1000 + local.tm_yday;
}

std::string Serial(int64_t serial) {
  char text[16];
  std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(serial));
  return text;
}

}  // namespace

VisitJoining::VisitJoining(Clock now) : now_(now ? std::move(now) : Clock(Now)) {}

std::shared_ptr<VisitJoining> VisitJoining::Register(Sorrel::cef::Manager& manager,
                                                     std::shared_ptr<Sorrel::Js::RecordsAccess> access) {
  auto joining = std::make_shared<VisitJoining>();
  using Work = Sorrel::Js::RecordsQuery::Work;
  const std::pair<const char*, Work> functions[] = {
      {"beginVisit", [joining](rec::RecordStore& s, const Sorrel::cef::ArgReader& r) { return joining->Begin(s, r); }},
      {"endVisit", [joining](rec::RecordStore& s, const Sorrel::cef::ArgReader& r) { return joining->End(s, r); }},
  };
  for (const auto& [name, work] : functions) {
    manager.AddQuery(std::make_shared<Sorrel::Js::RecordsQuery>(name, access, work, Sorrel::Js::HostDoc{}));
  }
  return joining;
}

void VisitJoining::StartRun(Mode mode) {
  std::lock_guard lock(mutex_);
  mode_ = mode;
  used_.clear();
  monitorVisits_.clear();
  closing_ = false;
}

std::vector<int64_t> VisitJoining::CloseMonitorVisits() {
  std::lock_guard lock(mutex_);
  closing_ = true;
  std::vector<int64_t> open;
  for (const auto& [serial, v] : monitorVisits_) open.push_back(v.id);
  return open;
}

lm::json::Value VisitJoining::BeginMonitorVisit(rec::RecordStore& store, const rec::SiteInfo& site,
                                                const Sorrel::cef::ArgReader& r) {
  const rec::Millis now = now_();
  const int today = LocalDay(now);
  auto it = monitorVisits_.find(site.serial);
  if (it != monitorVisits_.end() && it->second.day == today) {
    return lm::json::MakeObject({{"id", lm::json::Number(it->second.id)}});
  }
  if (it != monitorVisits_.end()) {
    Take(store.EndVisit(it->second.id, now));  // the day turned: yesterday's rounds are one visit
    monitorVisits_.erase(it);
  }
  rec::VisitInfo info = rj::ReadVisitInfo(r, now);
  info.technician = kMonitorTechnician;
  info.notes = "Unattended monitor (linkmeter-cli monitor): the rounds of one day";
  const rec::RowId id = Take(store.StartVisit(site, info));
  monitorVisits_[site.serial] = {id, today};
  used_.push_back({id, site.serial, false});
  return lm::json::MakeObject({{"id", lm::json::Number(id)}});
}

std::vector<VisitJoining::Used> VisitJoining::UsedVisits() const {
  std::lock_guard lock(mutex_);
  return used_;
}

lm::json::Value VisitJoining::Begin(rec::RecordStore& store, const Sorrel::cef::ArgReader& r) {
  r.Object("site");
  const rec::SiteInfo site = rj::ReadSite(r);
  std::lock_guard lock(mutex_);
  if (mode_ == Mode::kMonitor) return BeginMonitorVisit(store, site, r);
  if (mode_ == Mode::kJoinOpen) {
    // Visits left open by programs that are gone were closed when the store
    // opened: an open one is kept by a program still running.
    for (const rec::VisitRow& v : Take(store.ListVisits(site.serial))) {
      if (v.endedAt || v.info.technician == kMonitorTechnician) continue;  // the monitor's day is its own
      joined_.insert(v.id);
      used_.push_back({v.id, site.serial, true});
      return lm::json::MakeObject({{"id", lm::json::Number(v.id)}, {"joined", lm::json::Bool(true)}});
    }
  }
  const rec::RowId id = Take(store.StartVisit(site, rj::ReadVisitInfo(r, now_())));
  used_.push_back({id, site.serial, false});
  return lm::json::MakeObject({{"id", lm::json::Number(id)}});
}

lm::json::Value VisitJoining::End(rec::RecordStore& store, const Sorrel::cef::ArgReader& r) {
  const int64_t visit = rj::Int64(r, "visitId");
  {
    std::lock_guard lock(mutex_);
    if (joined_.count(visit)) return lm::json::Bool(true);  // its owner ends it
    // The monitor's visit of the day stays open between its rounds.
    for (const auto& [serial, v] : monitorVisits_) {
      if (v.id == visit && !closing_) return lm::json::Bool(true);
    }
  }
  Take(store.EndVisit(visit, rj::TimeOr(r, "endedAt", now_())));
  return lm::json::Bool(true);
}

std::string UsedVisitsText(const std::vector<VisitJoining::Used>& used) {
  std::string text;
  for (const auto& u : used) {
    text += "linkmeter-cli: recorded in visit " + std::to_string(u.visitId) + " of site " + Serial(u.siteSerial) +
            (u.joined ? " (the visit another program keeps open; --new-visit starts one of its own)\n"
                      : " (a new visit)\n");
  }
  return text;
}

}  // namespace linkmeter::cli
