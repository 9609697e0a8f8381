#include "lm/records/ContentIdCheck.h"

#include <algorithm>

#include "lm/records/ContentId.h"
#include "lm/records/Database.h"
#include "lm/records/RecordReader.h"
#include "lm/records/Seals.h"
#include "lm/records/StoreResult.h"
#include "lm/records/VisitVersions.h"

namespace lm::records {
namespace {

struct Mismatch {
  std::string what;
};

void Expect(const std::string& kept, const std::string& made, const std::string& what) {
  if (kept != made) throw Mismatch{"the content id of " + what + " does not match its contents"};
}

std::string Named(const std::string& kind, RowId id) { return kind + " " + std::to_string(id); }

std::string RecordId(RecordReader& reader, const std::string& visitId, const RecordSummary& r,
                     const std::vector<StoredSettingsWrite>& writes) {
  for (RawKind kind : {RawKind::kRegistration, RawKind::kDownload, RawKind::kEventLog, RawKind::kSettingsReadback,
                        RawKind::kAcceptance, RawKind::kWaiver, RawKind::kPlan, RawKind::kMapEdit, RawKind::kThinning}) {
    if (r.kind != RawKindName(kind)) continue;
    const RawRecord record = reader.ReadRaw(kind, r.id).record;
    if (kind == RawKind::kPlan && !PlanMatchesItsImage(record)) {
      throw Mismatch{"the image of " + Named("plan", r.id) + " does not match its SHA-256"};
    }
    return RawContentId(visitId, record);
  }
  // A survey's id covers its head; its parts are the seal's (CheckSeals).
  if (r.kind == "route-survey" || r.kind == "site-survey") {
    return SurveyContentId(visitId, reader.ReadSurveyHead(r.id).info);
  }
  if (r.kind == "channel-scan") return ScanContentId(visitId, reader.ReadScan(r.id).info);
  // A kind this build cannot recompute is never taken on trust.
  if (r.kind != "settings-write") throw Mismatch{Named(r.kind, r.id) + " is of a kind this version cannot check"};
  const auto write = std::find_if(writes.begin(), writes.end(), [&](const auto& w) { return w.id == r.id; });
  if (write == writes.end()) throw Mismatch{Named("settings write", r.id) + " has no keys"};
  return SettingsWriteContentId(visitId, write->write);
}

void CheckVisit(Database& db, RecordReader& reader, const VisitRow& visit) {
  Expect(visit.contentId, VisitContentId(visit.siteSerial, visit.info.startedAt), Named("visit", visit.id));
  for (const auto& v : VisitVersions(db).All(visit)) {
    if (v.contentId != visit.contentId) {  // the first version is the visit's own
      if (!CanonicalIds(v.replaces)) {
        throw Mismatch{"a version of " + Named("visit", visit.id) + " names its replaced ids in a non-canonical form"};
      }
      Expect(v.contentId, VisitVersionContentId(visit.contentId, v), "a version of " + Named("visit", visit.id));
    }
  }
  const VisitRecords records = reader.ReadVisit(visit.id);
  for (const auto& r : records.records) {
    Expect(r.contentId, RecordId(reader, visit.contentId, r, records.settingsWrites), Named(r.kind, r.id));
  }
}

}  // namespace

void CheckContentIds(Database& db, const std::string& name) {
  RecordReader reader(db);
  try {
    for (const auto& site : reader.ListSites()) {
      Expect(site.contentId, SiteContentId(site.site.serial), Named("site", site.id));
      for (const auto& visit : reader.ListVisits(site.site.serial)) CheckVisit(db, reader, visit);
    }
  } catch (const Mismatch& m) {
    throw StoreFailure{{StoreErrorCode::kDamagedFile, name + ": " + m.what + "; nothing was imported"}};
  }
}

void CheckSeals(Database& db, const std::string& name) {
  Seals seals(db);
  seals.SealAllEnded();
  struct Sealed {
    const char* kind;
    const char* query;
    std::optional<std::string> (Seals::*made)(RowId);
  };
  static const Sealed kSealed[] = {
      {"survey", "SELECT id, content_id, seal FROM surveys WHERE seal IS NOT NULL", &Seals::OfSurvey},
      {"channel scan", "SELECT id, content_id, seal FROM channel_scans WHERE seal IS NOT NULL", &Seals::OfScan},
      {"visit", "SELECT id, content_id, end_seal FROM visits WHERE end_seal IS NOT NULL", &Seals::OfVisitEnd},
  };
  for (const auto& s : kSealed) {
    auto st = db.Prepare(s.query);
    while (st.Step()) {
      if ((seals.*s.made)(st.Int(0)) == st.Text(2)) continue;
      throw StoreFailure{{StoreErrorCode::kDamagedFile,
                          name + ": the seal of " + s.kind + " " + st.Text(1).substr(0, 12) +
                              "… does not match what it holds (its parts or its end were changed after it ended); "
                              "nothing was imported"}};
    }
  }
}

}  // namespace lm::records
