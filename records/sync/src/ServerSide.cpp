#include "lm/teamsync/ServerSide.h"

#include <algorithm>

#include "lm/teamsync/ServerSchema.h"
#include "lm/teamsync/SyncFailure.h"

namespace lm::teamsync {
namespace {

PgValue SerialParam(std::optional<int64_t> serial) {
  return serial ? PgValue(std::to_string(*serial)) : std::nullopt;
}

std::string ColumnList(const TableLayout& layout) {
  std::string out;
  for (const auto& c : layout.columns) out += std::string(out.empty() ? "" : ", ") + c.name;
  return out;
}

// A text[] literal of content ids (hex digits, so nothing to quote).
std::string ArrayLiteral(const std::set<std::string>& keys) {
  std::string out = "{";
  for (const auto& k : keys) out += (out.size() > 1 ? "," : "") + k;
  return out + "}";
}

}  // namespace

ServerSide::ServerSide(PgConnection& conn) : conn_(conn) { ServerSchema::Require(conn_); }

Inventory ServerSide::Items(std::optional<int64_t> siteSerial) {
  PgResult r = conn_.Exec(kServerInventory, {SerialParam(siteSerial)});
  Inventory out;
  for (int i = 0; i < r.Rows(); ++i) {
    const int64_t count = IntOf(r.Get(i, 2));
    if (count > 0) out[r.Text(i, 0)][r.Text(i, 1)] = count;
  }
  return out;
}

std::map<std::string, std::string> ServerSide::Senders(std::optional<int64_t> siteSerial) {
  PgResult r = conn_.Exec(
      "SELECT v.content_id, v.sent_by FROM linkmeter.visits v JOIN linkmeter.sites s ON s.content_id = v.site "
      "WHERE $1::bigint IS NULL OR s.serial = $1::bigint",
      {SerialParam(siteSerial)});
  std::map<std::string, std::string> out;
  for (int i = 0; i < r.Rows(); ++i) out[r.Text(i, 0)] = r.Text(i, 1);
  return out;
}

std::string ServerSide::User() { return conn_.Exec("SELECT session_user").Text(0, 0); }

void ServerSide::Stage(const TableLayout& layout, const Rows& rows, const ReadPieces& pieces) {
  const std::string columns = ColumnList(layout);
  conn_.CopyIn(std::string("COPY stage_") + layout.table + " (" + columns + ") FROM STDIN",
               [&](const CopyPut& put) { PutCopyRows(layout, rows, pieces, put); });
  conn_.Exec(std::string("INSERT INTO linkmeter.") + layout.table + " (" + columns + ") SELECT " + columns +
             " FROM stage_" + layout.table + " ON CONFLICT DO NOTHING");
}

void ServerSide::Push(const VisitRows& rows, const ReadPieces& pieces) {
  if (!staged_) {
    // One temporary table per table, emptied at every commit.
    for (const auto& s : TableLayouts()) {
      if (s.pullOnly) continue;
      conn_.Exec(std::string("CREATE TEMP TABLE IF NOT EXISTS stage_") + s.table + " (LIKE linkmeter." + s.table +
                 " INCLUDING DEFAULTS) ON COMMIT DELETE ROWS");
    }
    staged_ = true;
  }
  PgTransaction tx(conn_);
  for (const auto& layout : TableLayouts()) {
    const auto found = rows.find(layout.table);
    if (!layout.pullOnly && found != rows.end() && !found->second.empty()) Stage(layout, found->second, pieces);
  }
  tx.Commit();
}

VisitRows ServerSide::Fetch(const std::set<std::string>& items) {
  VisitRows out;
  PgTransaction tx(conn_);  // one snapshot for the whole visit
  conn_.Exec("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ READ ONLY");
  for (const auto& layout : TableLayouts()) {
    const std::string suffix = layout.suffix;
    std::set<std::string> keys;
    for (const auto& item : items) {
      const bool parentItem = item.find(':') == std::string::npos;
      if (suffix.empty() ? parentItem : item.size() > suffix.size() && item.ends_with(suffix)) {
        keys.insert(ItemKey(item, layout.suffix));
      }
    }
    if (keys.empty()) continue;
    PgResult r = conn_.Exec(layout.serverSelect, {ArrayLiteral(keys)});
    const int n = static_cast<int>(layout.columns.size());
    for (int i = 0; i < r.Rows(); ++i) {
      if (!items.count(r.Text(i, n) + suffix)) continue;
      Row row;  // the columns, then whatever follows the key (the senders of a part)
      for (int c = 0; c < r.Columns(); ++c) {
        if (c != n) row.push_back(r.Get(i, c));
      }
      out[layout.table].push_back(std::move(row));
    }
  }
  tx.Commit();
  return out;
}

void ServerSide::Pieces(const Row& row, const PieceSink& take) {
  const auto size = StreamedSize(LayoutOf("raw_records"), row);
  if (!size) return;
  for (int64_t at = 0; at < *size;) {
    const int64_t n = std::min<int64_t>(kPieceBytes, *size - at);
    PgResult r = conn_.Exec("SELECT substring(raw FROM $2::int FOR $3::int) FROM linkmeter.raw_records "
                            "WHERE content_id = $1",
                            {row[0], std::to_string(at + 1), std::to_string(n)});
    if (r.Rows() != 1) return;
    const records::Bytes piece = BytesOf(r.Get(0, 0));
    if (piece.empty()) return;
    take(piece);
    at += static_cast<int64_t>(piece.size());
  }
}

}  // namespace lm::teamsync
