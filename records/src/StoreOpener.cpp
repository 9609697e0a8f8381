#include "lm/records/StoreOpener.h"

#include <sqlite3.h>

#include <ctime>
#include <optional>
#include <thread>

#include "lm/records/AbandonedVisits.h"
#include "lm/records/Schema.h"
#include "lm/records/SqlError.h"
#include "lm/records/StoreResult.h"

namespace lm::records {
namespace {

namespace fs = std::filesystem;

struct Refusal {
  StoreState state;
  std::string reason;
};

bool IsDamage(const SqlError& e) { return e.Code() == SQLITE_NOTADB || e.Code() == SQLITE_CORRUPT; }

std::string Stamp(std::chrono::system_clock::time_point now) {
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

// A free dated name beside the store; -2, -3, ... when a second one comes
// within the same second.
fs::path AsideName(const fs::path& store, const char* why, std::chrono::system_clock::time_point now) {
  const fs::path folder = store.parent_path();
  const std::string base = store.stem().string() + "." + why + "-" + Stamp(now);
  fs::path candidate = folder / (base + ".sqlite");
  for (int n = 2; fs::exists(candidate); ++n) candidate = folder / (base + "-" + std::to_string(n) + ".sqlite");
  return candidate;
}

void MoveAside(const fs::path& store, const fs::path& aside) {
  fs::rename(store, aside);
  for (const char* suffix : {"-wal", "-shm"}) {
    const fs::path side = fs::path(store) += suffix;
    std::error_code ec;
    if (fs::exists(side, ec)) fs::rename(side, fs::path(aside) += suffix, ec);
  }
}

// PRAGMA quick_check reads every page of the file once. Mapped, SQLite
// reads the pages where they are instead of copying each through a read
// call into a page-cache buffer of its own: half of what an open costs on
// a store of a busy site. Only for the check, so a store on a drive that
// goes away while in use fails as an I/O error rather than a signal; the
// file is never shortened in use (nothing here vacuums).
constexpr int64_t kCheckMapBytes = int64_t{1} << 30;

std::string QuickCheck(Database& db) {
  db.Exec("PRAGMA mmap_size=" + std::to_string(kCheckMapBytes));
  std::string result;
  try {
    result = db.QueryText("PRAGMA quick_check");
  } catch (...) {
    db.Exec("PRAGMA mmap_size=0");
    throw;
  }
  db.Exec("PRAGMA mmap_size=0");
  return result;
}

// Opens and migrates; a refusal when the file is damaged or newer.
std::optional<Refusal> TryOpen(const fs::path& path, std::optional<Database>& db, MigrateOutcome& outcome) {
  try {
    db.emplace(path);
    const int version = db->UserVersion();
    if (version > CurrentSchemaVersion()) {
      return Refusal{StoreState::kSetAsideNewer, "schema version " + std::to_string(version) +
                                                     ", this version reads up to " +
                                                     std::to_string(CurrentSchemaVersion())};
    }
    if (version > 0) {
      const std::string check = QuickCheck(*db);
      if (check != "ok") return Refusal{StoreState::kSetAsideDamaged, check};
    } else if (db->QueryInt("SELECT count(*) FROM sqlite_schema WHERE (SELECT user_version FROM pragma_user_version) = 0") >
               0) {
      // Tables but no version, read in one snapshot: some other program's
      // database. (Read apart, another process creating the store between
      // the two reads would make its fresh store look foreign, and it would
      // be moved aside.)
      return Refusal{StoreState::kSetAsideDamaged, "not a site-records file"};
    }
    outcome = Migrate(*db);
    if (outcome == MigrateOutcome::kNewer) return Refusal{StoreState::kSetAsideNewer, "a newer schema version"};
    return std::nullopt;
  } catch (const SqlError& e) {
    if (!IsDamage(e)) throw;
    return Refusal{StoreState::kSetAsideDamaged, e.what()};
  }
}

// Opening races another process creating or converting the same file:
// SQLite answers some of those steps "busy" at once, without waiting, so
// the open is tried again for as long as a busy wait would last.
std::optional<Refusal> OpenWhenFree(const fs::path& path, std::optional<Database>& db, MigrateOutcome& outcome) {
  const auto deadline = std::chrono::steady_clock::now() + Database::kBusyTimeout;
  for (;;) {
    try {
      return TryOpen(path, db, outcome);
    } catch (const SqlError& e) {
      db.reset();
      if (e.Code() != SQLITE_BUSY && e.Code() != SQLITE_LOCKED) throw;
      if (std::chrono::steady_clock::now() > deadline) throw;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
}

std::string RefusalMessage(const Refusal& r, const fs::path& aside) {
  const std::string kept = " The file was kept as " + aside.filename().string() +
                           " and a new, empty store was started.";
  if (r.state == StoreState::kSetAsideNewer) {
    return "The site records were written by a newer version of Linkmeter (" + r.reason + ")." + kept;
  }
  return "The site records could not be read (" + r.reason + ")." + kept;
}

std::string HeldMessage(const Refusal& r) {
  return "The site records could not be read (" + r.reason +
         "), and another Linkmeter program has them open, so they were left in place. Close the other "
         "programs and start again.";
}

// With no other program holding the store: looks at the file again (another
// program may have replaced it meanwhile) and, when still refused, sets it
// aside and starts a new store; nullopt when it turned out readable.
std::optional<Refusal> SetAside(const fs::path& path, std::optional<Database>& db,
                                MigrateOutcome& outcome, OpenReport& report,
                                std::chrono::system_clock::time_point now) {
  db.reset();
  std::optional<Refusal> refusal = OpenWhenFree(path, db, outcome);
  if (!refusal) return refusal;
  db.reset();
  report.state = refusal->state;
  report.asidePath = AsideName(path, refusal->state == StoreState::kSetAsideNewer ? "newer" : "damaged", now);
  MoveAside(path, report.asidePath);
  report.message = RefusalMessage(*refusal, report.asidePath);
  db.emplace(path);
  Migrate(*db);
  return refusal;
}

}  // namespace

OpenedStore OpenStoreFile(const fs::path& folder, StoreOptions options, std::chrono::system_clock::time_point now) {
  fs::create_directories(folder);
  const fs::path path = folder / (options.demo ? kDemoStoreFileName : kStoreFileName);
  auto lock = std::make_unique<LockFile>(fs::path(path) += ".lock");
  if (!lock->Lock(LockFile::Kind::kShared, Database::kBusyTimeout)) {
    throw StoreFailure{{StoreErrorCode::kBusy, "the site records are being set aside by another program"}};
  }
  std::optional<Database> db;
  MigrateOutcome outcome = MigrateOutcome::kUpToDate;
  OpenReport report;
  report.path = path;
  report.demo = options.demo;
  report.state = StoreState::kOpened;
  if (auto refusal = OpenWhenFree(path, db, outcome)) {
    // Moving needs every other opener gone; a failed try holds no lock.
    db.reset();
    if (!lock->TryLock(LockFile::Kind::kExclusive)) throw StoreFailure{{StoreErrorCode::kBusy, HeldMessage(*refusal)}};
    SetAside(path, db, outcome, report, now);
    if (!lock->TryLock(LockFile::Kind::kShared)) throw StoreFailure{{StoreErrorCode::kBusy, HeldMessage(*refusal)}};
  }
  if (report.asidePath.empty()) {
    report.state = outcome == MigrateOutcome::kCreated    ? StoreState::kCreated
                   : outcome == MigrateOutcome::kMigrated ? StoreState::kMigrated
                                                          : StoreState::kOpened;
  }
  // Stores made before files were created private are made private now.
  std::error_code ignored;
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace, ignored);
  OwnerToken::Sweep(path);
  auto owner = std::make_unique<OwnerToken>(path);
  report.closedVisits = CloseAbandonedVisits(*db, path);
  return {std::move(*db), report, std::move(lock), std::move(owner)};
}

}  // namespace lm::records
