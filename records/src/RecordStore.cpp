#include "lm/records/RecordStore.h"

#include <sqlite3.h>

#include "lm/records/ExportTarget.h"
#include "lm/records/ImportChecker.h"
#include "lm/records/RecordExchange.h"
#include "lm/records/RecordReader.h"
#include "lm/records/RecordWriter.h"
#include "lm/records/SqlError.h"

namespace lm::records {

StoreError ToStoreError(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const StoreFailure& f) {
    return f.error;
  } catch (const SqlError& e) {
    switch (e.Code()) {
      case SQLITE_BUSY:
      case SQLITE_LOCKED: return {StoreErrorCode::kBusy, "the site records are busy: " + std::string(e.what())};
      case SQLITE_CORRUPT:
      case SQLITE_NOTADB: return {StoreErrorCode::kDamagedFile, e.what()};
      case SQLITE_FULL:
      case SQLITE_IOERR:
      case SQLITE_CANTOPEN:
      case SQLITE_READONLY:
      case SQLITE_PERM: return {StoreErrorCode::kIo, e.what()};
      case SQLITE_CONSTRAINT:
      case SQLITE_TOOBIG: return {StoreErrorCode::kInvalid, e.what()};
      default: return {StoreErrorCode::kInternal, e.what()};
    }
  } catch (const std::filesystem::filesystem_error& e) {
    return {StoreErrorCode::kIo, e.what()};
  } catch (const std::bad_alloc&) {
    return {StoreErrorCode::kInternal, "out of memory"};
  } catch (const std::exception& e) {
    return {StoreErrorCode::kInternal, e.what()};
  }
}

Result<std::unique_ptr<RecordStore>> RecordStore::Open(const std::filesystem::path& folder, StoreOptions options) {
  try {
    return std::unique_ptr<RecordStore>(new RecordStore(OpenStoreFile(folder, options)));
  } catch (...) {
    return ToStoreError(std::current_exception());
  }
}

RecordStore::RecordStore(OpenedStore opened)
    : db_(std::move(opened.db)),
      report_(std::move(opened.report)),
      lock_(std::move(opened.lock)),
      owner_(std::move(opened.owner)) {
  RegisterOpenStore(report_.path);
}

RecordStore::~RecordStore() { UnregisterOpenStore(report_.path); }

template <class F>
auto RecordStore::Locked(F&& work) -> Result<decltype(work())> {
  std::lock_guard lock(mutex_);
  try {
    return work();
  } catch (...) {
    return ToStoreError(std::current_exception());
  }
}

#define LM_WRITE(call) Locked([&] { return RecordWriter(db_, owner_->id()).call; })
#define LM_WRITE_DONE(call) Locked([&] { RecordWriter(db_, owner_->id()).call; return Done{}; })

Result<RowId> RecordStore::StartVisit(const SiteInfo& site, const VisitInfo& info) {
  return LM_WRITE(StartVisit(site, info));
}
Result<Done> RecordStore::EndVisit(RowId visit, Millis endedAt) { return LM_WRITE_DONE(EndVisit(visit, endedAt)); }
Result<Done> RecordStore::UpdateVisit(RowId visit, const VisitInfo& info, std::vector<std::string> replaces) {
  return LM_WRITE_DONE(UpdateVisit(visit, info, std::move(replaces)));
}
Result<RowId> RecordStore::AddRaw(RowId visit, const RawRecord& record) { return LM_WRITE(AddRaw(visit, record)); }
Result<RowId> RecordStore::BeginSurvey(RowId visit, const SurveyInfo& info) {
  return LM_WRITE(BeginSurvey(visit, info));
}
Result<Done> RecordStore::AddProbes(RowId survey, std::span<const Probe> probes) {
  return LM_WRITE_DONE(AddProbes(survey, probes));
}
Result<Done> RecordStore::AddHopStats(RowId survey, std::span<const HopStats> hops) {
  return LM_WRITE_DONE(AddHopStats(survey, hops));
}
Result<Done> RecordStore::FinishSurvey(RowId survey, Millis endedAt, std::span<const HopStats> hops) {
  return LM_WRITE_DONE(FinishSurvey(survey, endedAt, hops));
}
Result<RowId> RecordStore::BeginScan(RowId visit, const ScanInfo& info) { return LM_WRITE(BeginScan(visit, info)); }
Result<Done> RecordStore::AddScanRounds(RowId scan, std::span<const ScanRound> rounds) {
  return LM_WRITE_DONE(AddScanRounds(scan, rounds));
}
Result<Done> RecordStore::FinishScan(RowId scan, Millis endedAt) { return LM_WRITE_DONE(FinishScan(scan, endedAt)); }
Result<RowId> RecordStore::AddSettingsWrite(RowId visit, const SettingsWrite& write) {
  return LM_WRITE(AddSettingsWrite(visit, write));
}

#define LM_READ(call) Locked([&] { return RecordReader(db_).call; })

Result<std::vector<SiteRow>> RecordStore::ListSites() { return LM_READ(ListSites()); }
Result<std::vector<VisitRow>> RecordStore::ListVisits(int64_t siteSerial) { return LM_READ(ListVisits(siteSerial)); }
Result<VisitRecords> RecordStore::ReadVisit(RowId visit) { return LM_READ(ReadVisit(visit)); }
Result<StoredRaw> RecordStore::ReadRaw(RawKind kind, RowId id) { return LM_READ(ReadRaw(kind, id)); }
Result<StoredSurvey> RecordStore::ReadSurvey(RowId id) { return LM_READ(ReadSurvey(id)); }
Result<StoredScan> RecordStore::ReadScan(RowId id) { return LM_READ(ReadScan(id)); }
Result<std::vector<TrendPoint>> RecordStore::UnitTrend(int64_t siteSerial, int64_t unit) {
  return LM_READ(UnitTrend(siteSerial, unit));
}

Result<Done> RecordStore::ExportSite(int64_t siteSerial, const std::filesystem::path& path) {
  return Locked([&] { RecordExchange(db_).ExportSite(siteSerial, path); return Done{}; });
}
Result<Done> RecordStore::ExportVisit(RowId visit, const std::filesystem::path& path) {
  return Locked([&] { RecordExchange(db_).ExportVisit(visit, path); return Done{}; });
}
Result<ImportCounts> RecordStore::Import(const std::filesystem::path& path) {
  // The file is read and checked on its own connection first, so a file
  // made to be slow never holds the store.
  std::unique_ptr<CheckedImport> checked;
  try {
    checked = std::make_unique<CheckedImport>(path);
  } catch (...) {
    return ToStoreError(std::current_exception());
  }
  return Locked([&] { return RecordExchange(db_).Merge(*checked); });
}

}  // namespace lm::records
