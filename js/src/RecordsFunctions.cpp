#include "sorrel/js/RecordsFunctions.h"

#include <cctype>
#include <chrono>

#include "sorrel/cef/Exception.h"
#include "sorrel/js/RecordsFailures.h"
#include "sorrel/js/RecordsJson.h"
#include "RecordsWork.h"

namespace Sorrel::Js {
namespace {

namespace rj = records_json;
namespace rec = lm::records;
using cef::ArgReader;
using lm::json::Array;
using lm::json::MakeObject;
using lm::json::Number;
using lm::json::Value;
using Need = ArgReader::Need;

rec::Millis Now() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

Value Id(rec::RowId id) { return MakeObject({{"id", Number(id)}}); }
Value Ok() { return lm::json::Bool(true); }

template <class T, class F>
Value List(const std::vector<T>& rows, F&& toJson) {
  Array out;
  for (const auto& r : rows) out.push_back(toJson(r));
  return Value(std::move(out));
}

std::string PathArg(const ArgReader& r) {
  std::string path;
  r.String("path", path);
  cef::Ensure(!path.empty(), -2, cef::MsgInvalid("path"));
  return path;
}

const char* StateName(rec::StoreState s) {
  switch (s) {
    case rec::StoreState::kOpened: return "opened";
    case rec::StoreState::kCreated: return "created";
    case rec::StoreState::kMigrated: return "migrated";
    case rec::StoreState::kSetAsideDamaged: return "set aside, damaged";
    case rec::StoreState::kSetAsideNewer: return "set aside, newer";
  }
  return "opened";
}

}  // namespace

namespace records_work {

// ---- the work of each function ---------------------------------------------

Value Status(rec::RecordStore& s, const ArgReader&) {
  const rec::OpenReport& r = s.report();
  return MakeObject({{"state", lm::json::String(StateName(r.state))}, {"path", lm::json::String(r.path.string())},
                     {"asidePath", r.asidePath.empty() ? Value() : lm::json::String(r.asidePath.string())},
                     {"message", lm::json::String(r.message)}, {"demo", lm::json::Bool(r.demo)},
                     {"closedVisits", lm::json::Number(r.closedVisits)}});
}

Value ListSites(rec::RecordStore& s, const ArgReader&) { return List(Take(s.ListSites()), rj::SiteJson); }

Value ListVisits(rec::RecordStore& s, const ArgReader& r) {
  return List(Take(s.ListVisits(rj::Int64(r, "serial"))), rj::VisitJson);
}

Value BeginVisit(rec::RecordStore& s, const ArgReader& r) {
  r.Object("site");
  return Id(Take(s.StartVisit(rj::ReadSite(r), rj::ReadVisitInfo(r, Now()))));
}

Value EndVisit(rec::RecordStore& s, const ArgReader& r) {
  Take(s.EndVisit(rj::Int64(r, "visitId"), rj::TimeOr(r, "endedAt", Now())));
  return Ok();
}

Value UpdateVisit(rec::RecordStore& s, const ArgReader& r) {
  Take(s.UpdateVisit(rj::Int64(r, "visitId"), rj::ReadVisitInfo(r, 0), rj::ReadReplaces(r)));
  return Ok();
}

// recordRegistration, recordDownload, recordLog, recordSettingsRead,
// recordAcceptance, recordWaiver, recordPlan, recordMapEdit.
RecordsQuery::Work RawWork(rec::RawKind kind) {
  return [kind](rec::RecordStore& s, const ArgReader& r) {
    const rec::RowId visit = rj::Int64(r, "visitId");
    return Id(Take(s.AddRaw(visit, rj::ReadRaw(r, kind, Now()))));
  };
}

Value RecordSurvey(rec::RecordStore& s, const ArgReader& r) {
  const rec::RowId visit = rj::Int64(r, "visitId");
  const rec::SurveyInfo info = rj::ReadSurveyInfo(r, Now());
  const auto probes = rj::ReadProbes(r);
  const auto hops = rj::ReadHops(r);
  const auto endedAt = rj::OptInt64(r, "endedAt");
  const rec::RowId id = Take(s.BeginSurvey(visit, info));
  if (!probes.empty()) Take(s.AddProbes(id, probes));
  if (endedAt) Take(s.FinishSurvey(id, *endedAt, hops));
  else if (!hops.empty()) Take(s.AddHopStats(id, hops));
  return Id(id);
}

Value AddSurveyProbes(rec::RecordStore& s, const ArgReader& r) {
  const rec::RowId id = rj::Int64(r, "surveyId");
  const auto probes = rj::ReadProbes(r);
  const auto hops = rj::ReadHops(r);
  const auto endedAt = rj::OptInt64(r, "endedAt");
  if (!probes.empty()) Take(s.AddProbes(id, probes));
  if (endedAt) Take(s.FinishSurvey(id, *endedAt, hops));
  else if (!hops.empty()) Take(s.AddHopStats(id, hops));
  return Ok();
}

Value RecordScan(rec::RecordStore& s, const ArgReader& r) {
  const rec::RowId visit = rj::Int64(r, "visitId");
  const rec::ScanInfo info = rj::ReadScanInfo(r, Now());
  const auto rounds = rj::ReadRounds(r);
  const auto endedAt = rj::OptInt64(r, "endedAt");
  const rec::RowId id = Take(s.BeginScan(visit, info));
  if (!rounds.empty()) Take(s.AddScanRounds(id, rounds));
  if (endedAt) Take(s.FinishScan(id, *endedAt));
  return Id(id);
}

Value RecordSettingsWrite(rec::RecordStore& s, const ArgReader& r) {
  const rec::RowId visit = rj::Int64(r, "visitId");
  return Id(Take(s.AddSettingsWrite(visit, rj::ReadSettingsWrite(r, Now()))));
}

Value ReadVisit(rec::RecordStore& s, const ArgReader& r) {
  return rj::VisitRecordsJson(Take(s.ReadVisit(rj::Int64(r, "visitId"))));
}

Value ReadRecord(rec::RecordStore& s, const ArgReader& r) {
  std::string kind;
  r.String("kind", kind);
  const rec::RowId id = rj::Int64(r, "id");
  if (kind == "route-survey" || kind == "site-survey") return rj::SurveyJson(Take(s.ReadSurvey(id)));
  if (kind == "channel-scan") return rj::ScanJson(Take(s.ReadScan(id)));
  for (rec::RawKind k : {rec::RawKind::kRegistration, rec::RawKind::kDownload, rec::RawKind::kEventLog,
                         rec::RawKind::kSettingsReadback, rec::RawKind::kAcceptance, rec::RawKind::kWaiver,
                         rec::RawKind::kPlan, rec::RawKind::kMapEdit, rec::RawKind::kThinning}) {
    if (kind == rec::RawKindName(k)) return rj::RawJson(Take(s.ReadRaw(k, id)));
  }
  throw cef::JsArgumentException(-2, cef::MsgInvalid("kind"));
}

Value UnitTrend(rec::RecordStore& s, const ArgReader& r) {
  return List(Take(s.UnitTrend(rj::Int64(r, "serial"), rj::Int64(r, "unit"))), rj::TrendJson);
}

Value ExportSite(rec::RecordStore& s, const ArgReader& r) {
  const int64_t serial = rj::Int64(r, "serial");
  Take(s.ExportSite(serial, PathArg(r)));
  return Ok();
}

Value ExportVisit(rec::RecordStore& s, const ArgReader& r) {
  const rec::RowId visit = rj::Int64(r, "visitId");
  Take(s.ExportVisit(visit, PathArg(r)));
  return Ok();
}

Value Import(rec::RecordStore& s, const ArgReader& r) { return rj::CountsJson(Take(s.Import(PathArg(r)))); }

}  // namespace records_work

RecordsQuery::RecordsQuery(const std::string& name, std::shared_ptr<RecordsAccess> access, Work work, HostDoc doc)
    : JsQueryHandler("LmRecords" + std::string(1, static_cast<char>(std::toupper(name[0]))) + name.substr(1),
                     "linkmeter.records." + name, 0),
      access_(std::move(access)),
      work_(std::move(work)),
      doc_(std::move(doc)) {}

void RecordsQuery::Execute(const cef::BrowserPtr&, const lm::json::Value& args,
                           const std::shared_ptr<cef::BsmsgRouterCallback>& reply) {
  // A call without an argument (listSites()) reads as an empty object.
  const lm::json::Value arg = args.is<picojson::null>() ? lm::json::Value(lm::json::Object{}) : args;
  const ArgReader reader(arg, -1, -2, "arg");
  rec::RecordStore* store =
      records_work::Take(access_ ? access_->Store()
                                 : rec::Result<rec::RecordStore*>(rec::StoreError{
                                       rec::StoreErrorCode::kIo, "this process keeps no site records"}));
  reply->Success(lm::json::ToText(work_(*store, reader)));
}

int32_t RecordsQuery::StoreCode(rec::StoreErrorCode code) {
  namespace f = records_failure;
  switch (code) {
    case rec::StoreErrorCode::kBusy: return f::kBusy;
    case rec::StoreErrorCode::kNotFound: return f::kNotFound;
    case rec::StoreErrorCode::kInvalid: return f::kRefused;
    case rec::StoreErrorCode::kNewerFile: return f::kNewerFile;
    case rec::StoreErrorCode::kDamagedFile: return f::kDamagedFile;
    case rec::StoreErrorCode::kIo: return f::kIo;
    case rec::StoreErrorCode::kInternal: return f::kInternal;
  }
  return f::kInternal;
}

}  // namespace Sorrel::Js
