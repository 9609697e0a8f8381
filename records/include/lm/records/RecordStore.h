#pragma once
// The site-records store of one workspace folder: every visit to a site
// kept without a save step. Each call is blocking database work meant for a
// worker thread, never the window thread; calls from several workers are
// serialised on one connection. Every call answers a Result, never throws;
// each write is one transaction and is on disk when the call returns.

#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "lm/records/Records.h"
#include "lm/records/StoreOpener.h"
#include "lm/records/StoreResult.h"

namespace lm::records {

class RecordStore {
 public:
  // Opens folder/site-records.sqlite (site-records-demo.sqlite for the
  // demo), creating or migrating it; a damaged or newer file is set aside
  // (see OpenStoreFile) and report() says so. Visits left open by programs
  // gone are closed.
  static Result<std::unique_ptr<RecordStore>> Open(const std::filesystem::path& folder, StoreOptions options = {});
  ~RecordStore();

  const OpenReport& report() const { return report_; }

  Result<RowId> StartVisit(const SiteInfo& site, const VisitInfo& info);
  Result<Done> EndVisit(RowId visit, Millis endedAt);
  Result<Done> UpdateVisit(RowId visit, const VisitInfo& info, std::vector<std::string> replaces = {});

  Result<RowId> AddRaw(RowId visit, const RawRecord& record);
  Result<RowId> BeginSurvey(RowId visit, const SurveyInfo& info);
  Result<Done> AddProbes(RowId survey, std::span<const Probe> probes);
  Result<Done> AddHopStats(RowId survey, std::span<const HopStats> hops);
  Result<Done> FinishSurvey(RowId survey, Millis endedAt, std::span<const HopStats> hops);
  Result<RowId> BeginScan(RowId visit, const ScanInfo& info);
  Result<Done> AddScanRounds(RowId scan, std::span<const ScanRound> rounds);
  Result<Done> FinishScan(RowId scan, Millis endedAt);
  Result<RowId> AddSettingsWrite(RowId visit, const SettingsWrite& write);

  Result<std::vector<SiteRow>> ListSites();
  Result<std::vector<VisitRow>> ListVisits(int64_t siteSerial);
  Result<VisitRecords> ReadVisit(RowId visit);
  Result<StoredRaw> ReadRaw(RawKind kind, RowId id);
  Result<StoredSurvey> ReadSurvey(RowId id);
  Result<StoredScan> ReadScan(RowId id);
  Result<std::vector<TrendPoint>> UnitTrend(int64_t siteSerial, int64_t unit);

  Result<Done> ExportSite(int64_t siteSerial, const std::filesystem::path& path);
  Result<Done> ExportVisit(RowId visit, const std::filesystem::path& path);
  Result<ImportCounts> Import(const std::filesystem::path& path);

 private:
  explicit RecordStore(OpenedStore opened);
  template <class F>
  auto Locked(F&& work) -> Result<decltype(work())>;

  std::mutex mutex_;
  Database db_;
  OpenReport report_;
  std::unique_ptr<LockFile> lock_;
  std::unique_ptr<OwnerToken> owner_;
};

// The failure an exception from the store's implementation stands for.
StoreError ToStoreError(std::exception_ptr failure);

}  // namespace lm::records
