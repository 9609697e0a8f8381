#pragma once
// Opens the store file of a workspace folder at start. A file that is no
// readable database, or one a newer version wrote, is moved aside under a
// dated name (site-records.damaged-YYYYMMDD-HHMMSS.sqlite, or .newer-... for
// a newer one, which a later version can still read) with its WAL, and a new
// empty store is opened in its place, but only while no other program holds
// the store open: every opener holds <store>.lock shared, and moving needs
// it exclusive. Other failures (a locked file, a folder that cannot be
// written, a store another program holds) are not the file's fault: they
// are thrown, and nothing is moved.

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "lm/records/Database.h"
#include "lm/records/LockFile.h"
#include "lm/records/OwnerToken.h"

namespace lm::records {

inline constexpr const char* kStoreFileName = "site-records.sqlite";
// Demo runs keep their records apart from the technician's.
inline constexpr const char* kDemoStoreFileName = "site-records-demo.sqlite";

struct StoreOptions {
  bool demo = false;  // open the demo store beside the real one
};

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
  bool demo = false;                // the demo store
  int closedVisits = 0;             // visits left open by programs gone, closed at this open
};

struct OpenedStore {
  Database db;
  OpenReport report;
  std::unique_ptr<LockFile> lock;    // held shared while the store is open
  std::unique_ptr<OwnerToken> owner; // the visits this opener keeps open
};

// Throws SqlError, StoreFailure (the store is held by another program while
// it has to be set aside) or std::filesystem::filesystem_error.
OpenedStore OpenStoreFile(const std::filesystem::path& folder, StoreOptions options = {},
                          std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

}  // namespace lm::records
