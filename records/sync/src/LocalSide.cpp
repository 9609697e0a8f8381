#include "lm/teamsync/LocalSide.h"

#include <algorithm>
#include <chrono>

#include "lm/records/BlobIo.h"
#include "lm/records/ContentId.h"
#include "lm/records/Schema.h"
#include "lm/records/Seals.h"
#include "lm/records/Transaction.h"
#include "lm/teamsync/PulledRows.h"
#include "lm/teamsync/SyncFailure.h"

namespace lm::teamsync {
namespace {

namespace rec = lm::records;

Inventory ReadItems(rec::Statement& st) {
  Inventory out;
  while (st.Step()) {
    const int64_t count = st.Int(2);
    if (count > 0) out[st.Text(0)][st.Text(1)] = count;
  }
  return out;
}

rec::Millis Now() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

LocalSide::LocalSide(const std::filesystem::path& storeFile) : db_(storeFile) {
  if (db_.UserVersion() != rec::CurrentSchemaVersion()) {
    throw SyncFailure(SyncFailureKind::kStore, "the site records at " + storeFile.string() +
                                                   " are not at this version's schema; open them first");
  }
  // A record that ended without its seal (a row written around the store)
  // is sealed before it is sent: the server takes no end without one.
  rec::Transaction tx(db_, rec::Transaction::Mode::kWrite);
  rec::Seals(db_).SealAllEnded();
  tx.Commit();
}

Inventory LocalSide::Items(std::optional<int64_t> siteSerial) {
  rec::Transaction tx(db_, rec::Transaction::Mode::kRead);
  auto st = db_.Prepare(kLocalInventory);
  st.Bind(1, siteSerial).BindNull(2);
  return ReadItems(st);
}

std::map<std::string, LocalSide::Mark> LocalSide::Marks(std::optional<int64_t> siteSerial) {
  auto st = db_.Prepare(
      "SELECT v.content_id, m.visit_id IS NOT NULL, v.sent_by FROM visits v JOIN sites s ON s.id = v.site_id "
      "LEFT JOIN sync_marks m ON m.visit_id = v.id WHERE ?1 IS NULL OR s.serial = ?1");
  st.BindAll(siteSerial);
  std::map<std::string, Mark> out;
  while (st.Step()) {
    Mark& m = out[st.Text(0)];
    m.synced = st.Int(1) != 0;
    if (!st.IsNull(2)) m.sentBy = st.Text(2);
  }
  return out;
}

std::optional<rec::RowId> LocalSide::VisitId(const std::string& visitContentId) {
  auto st = db_.Prepare("SELECT id FROM visits WHERE content_id = ?");
  st.BindAll(visitContentId);
  if (!st.Step()) return std::nullopt;
  return st.Int(0);
}

VisitItems LocalSide::ItemsOf(const std::string& visitContentId) {
  auto st = db_.Prepare(kLocalInventory);
  st.BindNull(1).Bind(2, visitContentId);
  Inventory items = ReadItems(st);
  return items[visitContentId];
}

VisitRows LocalSide::RowsFor(const std::string& visitContentId, const std::set<std::string>& items) {
  VisitRows out;
  rec::Transaction tx(db_, rec::Transaction::Mode::kRead);
  const auto visit = VisitId(visitContentId);
  if (!visit) return out;
  for (const auto& layout : TableLayouts()) {
    if (layout.pullOnly) continue;
    auto st = db_.Prepare(layout.localSelect);
    st.BindAll(*visit);
    const int keyColumn = static_cast<int>(layout.columns.size());
    while (st.Step()) {
      if (!items.count(st.Text(keyColumn) + layout.suffix)) continue;
      Row row;  // the columns, then whatever follows the key (a streamed value's size and row)
      for (int c = 0; c < keyColumn; ++c) row.push_back(LocalValue(st, c, layout.columns[c].type));
      for (int c = keyColumn + 1; c < st.ColumnCount(); ++c) row.push_back(LocalValue(st, c, ColumnType::kInt));
      out[layout.table].push_back(std::move(row));
    }
  }
  return out;
}

void LocalSide::Pieces(const Row& row, const PieceSink& take) {
  const TableLayout& layout = LayoutOf("raw_records");
  const auto size = StreamedSize(layout, row);
  const size_t id = layout.columns.size() + 1;
  if (!size) return;
  const auto kind = RawKindNamed(row[2].value_or(""));
  if (!kind || row.size() <= id) throw SyncFailure(SyncFailureKind::kStore, "a record's bytes to send were not found in the site records");
  const std::string table = rec::RawKindTable(*kind);
  // The open blob holds its read transaction: the check sees the row it reads.
  rec::BlobIo blob(db_, table, "raw", IntOf(row[id]), rec::BlobIo::Mode::kRead);
  auto same = db_.Prepare("SELECT 1 FROM " + table + " WHERE id = ?1 AND content_id = ?2");
  if (!same.BindAll(IntOf(row[id]), row[0].value_or("")).Step() || blob.Size() != *size) {
    throw SyncFailure(SyncFailureKind::kStore, "the site records changed while a record's bytes were being sent");
  }
  same.Reset();
  rec::Bytes piece;
  for (int64_t at = 0; at < *size; at += static_cast<int64_t>(piece.size())) {
    piece.resize(static_cast<size_t>(std::min<int64_t>(kPieceBytes, *size - at)));
    blob.Read(at, piece);
    take(piece);
  }
}

std::set<std::string> LocalSide::Write(const std::string& visitContentId, const VisitRows& rows, const VisitItems& expected,
                                       const std::optional<std::string>& sentBy, const ReadPieces& pieces) {
  rec::Transaction tx(db_);
  PulledRows pulled(db_, pieces);
  pulled.Write(rows);
  if (sentBy) {
    db_.Prepare("UPDATE visits SET sent_by = ?1 WHERE content_id = ?2 AND sent_by IS NOT ?1")
        .BindAll(*sentBy, visitContentId)
        .Run();
  }
  if (ItemsOf(visitContentId) == expected) {
    db_.Prepare("INSERT OR REPLACE INTO sync_marks(visit_id, synced_at) SELECT id, ?2 FROM visits WHERE content_id = ?1")
        .BindAll(visitContentId, Now())
        .Run();
  }
  tx.Commit();
  return pulled.refused();
}

}  // namespace lm::teamsync
