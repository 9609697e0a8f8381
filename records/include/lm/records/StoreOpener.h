#pragma once
// Opens the store file of a workspace folder at start. A file that is no
// readable database, or one a newer version wrote, is moved aside under a
// dated name (site-records.damaged-YYYYMMDD-HHMMSS.sqlite, or .newer-... for
// a newer one, which a later version can still read) with its WAL, and a new
// empty store is opened in its place. Other failures (a locked file, a
// folder that cannot be written) are not the file's fault: they are thrown.

#include <chrono>
#include <filesystem>
#include <string>

#include "lm/records/Database.h"

namespace lm::records {

inline constexpr const char* kStoreFileName = "site-records.sqlite";

enum class StoreState {
  kOpened,     // an existing store at the current version
  kCreated,    // no store yet: a new one
  kMigrated,   // an older store brought to the current version
  kSetAsideDamaged,
  kSetAsideNewer,
};

struct OpenReport {
  StoreState state = StoreState::kOpened;
  std::filesystem::path path;       // the store now open
  std::filesystem::path asidePath;  // where a damaged or newer file went
  std::string message;              // for the user; empty when nothing happened to tell
};

struct OpenedStore {
  Database db;
  OpenReport report;
};

// Throws SqlError or std::filesystem::filesystem_error.
OpenedStore OpenStoreFile(const std::filesystem::path& folder,
                          std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

}  // namespace lm::records
