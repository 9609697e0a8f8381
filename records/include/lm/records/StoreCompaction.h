#pragma once
// Gives back the room thinning leaves inside the store's pages. Thinning
// frees whole pages for reuse, but a packed survey row shrinks where it
// stands and leaves its page half empty, and deleted index entries leave
// holes: over a year such room grows to a tenth of the file. When the
// wasted share passes `share`, the store is rebuilt (VACUUM: one
// transaction, so a kill leaves the file as it was; contents, ids and seals
// unchanged) and its WAL cut back. Skipped, saying why, when the disk lacks
// room for the rebuilt copy and its journal.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace lm::records {

class Database;

struct StoreRoom {
  int64_t fileBytes = 0;
  int64_t wastedBytes = 0;  // free pages and the unused bytes of every page in use
};

// What the store's pages hold; throws SqlError.
StoreRoom MeasureStoreRoom(Database& db);

struct StoreRebuild {
  StoreRoom before;
  int64_t afterBytes = 0;  // 0 when not rebuilt
  std::string skipped;     // why not, when not rebuilt and it was due
};

// Rebuilds the store at `path` when its wasted share is over `share`.
// `stopped` is asked every few microseconds while it runs: true abandons
// the rebuild. Throws SqlError when the rebuild fails or is abandoned
// (nothing changed then).
StoreRebuild CompactWhenWasteful(Database& db, const std::filesystem::path& path, double share,
                               const std::function<bool()>& stopped);

}  // namespace lm::records
