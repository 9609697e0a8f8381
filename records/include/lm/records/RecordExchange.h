#pragma once
// Moving records between computers. An export is one SQLite file with the
// store's own schema (rollback journal, so it is a single file), holding one
// site with all its visits, or one visit and its site; it never goes onto a
// store's own files. An import merges such a file, once checked
// (CheckedImport), by content id: what is already in the store is skipped,
// so importing the same file twice adds nothing the second time, and what
// the file carries further (an end time, more probes) is added. A record
// that has ended here is never changed by a file (SealedImport).
// Throws SqlError and StoreFailure (RecordStore turns both into results).

#include <chrono>
#include <filesystem>

#include "lm/records/Records.h"

namespace lm::records {

class CheckedImport;
class Database;

class RecordExchange {
 public:
  explicit RecordExchange(Database& db) : db_(db) {}

  // Writes the file whole or not at all: a file already at path is replaced
  // only once the export is complete.
  void ExportSite(int64_t siteSerial, const std::filesystem::path& path);
  void ExportVisit(RowId visit, const std::filesystem::path& path);

  // Merges a checked file in one transaction.
  ImportCounts Merge(const CheckedImport& file);

  static constexpr std::chrono::seconds kMergeTimeLimit{60};

 private:
  enum class Scope { kSite, kVisit };
  void Export(Scope scope, int64_t key, const std::filesystem::path& path);
  void CopyRows(Scope scope, int64_t key);
  std::string ColumnsUnsealed(const std::string& table);
  int CountGrown();
  void MergeSites(ImportCounts& counts);
  void MergeRecords(ImportCounts& counts);
  void MergeChildren();

  Database& db_;
};

// file:...?mode=ro for a path, so ATTACH opens it read-only.
std::string ReadOnlyUri(const std::filesystem::path& path);

}  // namespace lm::records
