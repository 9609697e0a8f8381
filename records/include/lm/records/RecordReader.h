#pragma once
// Reads from the store: the sites, a site's visits, a visit's records, one
// record in full, and a unit's levels and battery across visits.
// Throws SqlError and StoreFailure (RecordStore turns both into results).

#include <vector>

#include "lm/records/Records.h"

namespace lm::records {

class Database;

class RecordReader {
 public:
  explicit RecordReader(Database& db) : db_(db) {}

  std::vector<SiteRow> ListSites();
  // Newest first.
  std::vector<VisitRow> ListVisits(int64_t siteSerial);
  VisitRecords ReadVisit(RowId visit);
  StoredRaw ReadRaw(RawKind kind, RowId id);
  StoredSurvey ReadSurvey(RowId id);
  // The survey without its probes and hop statistics.
  StoredSurvey ReadSurveyHead(RowId id);
  StoredScan ReadScan(RowId id);
  // Oldest first: every survey hop that ends at the unit, on that site.
  std::vector<TrendPoint> UnitTrend(int64_t siteSerial, int64_t unit);

 private:
  StoredSurvey SurveyHead(RowId id);
  VisitRow ReadVisitRow(RowId visit);
  std::vector<StoredSettingsWrite> ReadSettingsWrites(RowId visit);

  Database& db_;
};

}  // namespace lm::records
