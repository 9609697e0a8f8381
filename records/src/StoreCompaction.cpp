#include "lm/records/StoreCompaction.h"

#include <system_error>

#include "lm/records/Database.h"
#include "lm/records/QueryDeadline.h"
#include "lm/records/Statement.h"

namespace lm::records {
namespace {

// Unused bytes a rebuild gives back: those of the b-tree pages of every
// table and index of more than one page (a rebuild keeps a table's one page,
// and the tail of a long value's last overflow page). dbstat reads each
// page once.
int64_t UnusedInPages(Database& db) {
  auto st = db.Prepare(
      "SELECT coalesce(sum(unused), 0) FROM (SELECT sum(unused) FILTER (WHERE pagetype <> 'overflow') AS unused, "
      "count(*) AS pages FROM dbstat GROUP BY name) WHERE pages > 1");
  return st.Step() ? st.Int(0) : 0;
}

// The rebuild writes a copy of what is kept into a temporary file and the
// same again into the WAL.
std::string RoomWanting(const std::filesystem::path& path, int64_t kept) {
  std::error_code ec;
  const auto folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  const auto space = std::filesystem::space(folder, ec);
  if (ec) return "the free space of " + folder.string() + " is unknown: " + ec.message();
  if (space.available < static_cast<uintmax_t>(kept) * 2) {
    return "the disk has " + std::to_string(space.available >> 20) + " MiB free, the rebuild needs " +
           std::to_string((kept * 2) >> 20) + " MiB";
  }
  return {};
}

}  // namespace

StoreRoom MeasureStoreRoom(Database& db) {
  const int64_t page = db.QueryInt("PRAGMA page_size");
  StoreRoom room;
  room.fileBytes = db.QueryInt("PRAGMA page_count") * page;
  room.wastedBytes = db.QueryInt("PRAGMA freelist_count") * page + UnusedInPages(db);
  return room;
}

StoreRebuild CompactWhenWasteful(Database& db, const std::filesystem::path& path, double share,
                               const std::function<bool()>& stopped) {
  StoreRebuild done;
  done.before = MeasureStoreRoom(db);
  if (done.before.fileBytes == 0 || done.before.wastedBytes <= done.before.fileBytes * share) return done;
  done.skipped = RoomWanting(path, done.before.fileBytes - done.before.wastedBytes);
  if (!done.skipped.empty()) return done;
  {
    QueryDeadline check(db, std::chrono::steady_clock::time_point::max(), stopped);
    db.Exec("VACUUM");
  }
  db.Exec("PRAGMA wal_checkpoint(TRUNCATE)");
  done.afterBytes = db.QueryInt("PRAGMA page_count") * db.QueryInt("PRAGMA page_size");
  return done;
}

}  // namespace lm::records
