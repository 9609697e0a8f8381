#pragma once
// Records into the store. Every call is one transaction, so whatever a call
// returned from is on disk even if the process is killed next. Recording
// the same content again returns the existing record's id.
// Throws SqlError and StoreFailure (RecordStore turns both into results).

#include <span>
#include <string>
#include <string>
#include <vector>

#include "lm/records/Records.h"

namespace lm::records {

class Database;

class RecordWriter {
 public:
  // `owner` is the token of the program keeping new visits open (see
  // OwnerToken); empty for none.
  explicit RecordWriter(Database& db, std::string owner = {}) : db_(db), owner_(std::move(owner)) {}

  // Adds the site when new (name and model are updated when given) and a
  // visit starting at info.startedAt, kept open by this writer's owner.
  RowId StartVisit(const SiteInfo& site, const VisitInfo& info);
  void EndVisit(RowId visit, Millis endedAt);
  // A new version of the visit's technician, customer and notes replacing
  // `replaces` (every current version when empty); see VisitVersions.
  void UpdateVisit(RowId visit, const VisitInfo& info, std::vector<std::string> replaces = {});

  RowId AddRaw(RowId visit, const RawRecord& record);

  RowId BeginSurvey(RowId visit, const SurveyInfo& info);
  void AddProbes(RowId survey, std::span<const Probe> probes);
  // Keeps (or replaces) the statistics of the hops given while the survey
  // runs, so a survey cut short keeps those of the routes already done.
  void AddHopStats(RowId survey, std::span<const HopStats> hops);
  void FinishSurvey(RowId survey, Millis endedAt, std::span<const HopStats> hops);

  RowId BeginScan(RowId visit, const ScanInfo& info);
  void AddScanRounds(RowId scan, std::span<const ScanRound> rounds);
  void FinishScan(RowId scan, Millis endedAt);

  RowId AddSettingsWrite(RowId visit, const SettingsWrite& write);

 private:
  std::string VisitContentIdOf(RowId visit);
  std::string RegistrationContentIdOf(RowId registration);
  void RequireRow(const char* table, RowId id, const char* what);
  // Inserts unless the content id is present; the row's id either way.
  RowId InsertOnce(Statement& insert, const char* table, const std::string& contentId);

  Database& db_;
  std::string owner_;
};

}  // namespace lm::records
