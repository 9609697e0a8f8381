#include "lm/records/Seals.h"

#include <vector>

#include "lm/records/ContentId.h"
#include "lm/records/Database.h"

namespace lm::records {
namespace {

std::optional<double> OptReal(const Statement& st, int column) {
  return st.IsNull(column) ? std::nullopt : std::optional(st.Real(column));
}

std::vector<Probe> ProbesOf(Database& db, RowId survey) {
  auto st = db.Prepare("SELECT route, seq, at, answered, raw FROM probes WHERE survey_id = ?");
  st.BindAll(survey);
  std::vector<Probe> out;
  while (st.Step()) {
    out.push_back({static_cast<int>(st.Int(0)), static_cast<int>(st.Int(1)), st.Int(2), st.Int(3) != 0,
                   st.Blob(4)});
  }
  return out;
}

std::vector<HopStats> HopsOf(Database& db, RowId survey) {
  auto st = db.Prepare(
      "SELECT route, hop, from_unit, unit, sent, answered, level_min, level_avg, level_max, battery "
      "FROM hop_stats WHERE survey_id = ?");
  st.BindAll(survey);
  std::vector<HopStats> out;
  while (st.Step()) {
    out.push_back({static_cast<int>(st.Int(0)), static_cast<int>(st.Int(1)), st.Int(2), st.Int(3),
                   static_cast<int>(st.Int(4)), static_cast<int>(st.Int(5)), OptReal(st, 6), OptReal(st, 7),
                   OptReal(st, 8), OptReal(st, 9)});
  }
  return out;
}

std::vector<ScanRound> RoundsOf(Database& db, RowId scan) {
  auto st = db.Prepare("SELECT round, at, raw, coalesce(decoded_json, '') FROM scan_rounds WHERE scan_id = ?");
  st.BindAll(scan);
  std::vector<ScanRound> out;
  while (st.Step()) out.push_back({static_cast<int>(st.Int(0)), st.Int(1), st.Blob(2), st.Text(3)});
  return out;
}

// The content id and end time of an ended record of `table`; nullopt while it runs.
std::optional<std::pair<std::string, Millis>> Ended(Database& db, const char* table, RowId id,
                                                    const char* extra = "") {
  auto st = db.Prepare(std::string("SELECT content_id, ended_at FROM ") + table +
                       " WHERE id = ? AND ended_at IS NOT NULL" + extra);
  st.BindAll(id);
  if (!st.Step()) return std::nullopt;
  return std::pair(st.Text(0), st.Int(1));
}

void Keep(Database& db, const char* sql, const std::optional<std::string>& seal, RowId id) {
  db.Prepare(sql).BindAll(seal, id).Run();
}

}  // namespace

std::optional<std::string> Seals::OfSurvey(RowId survey) {
  const auto head = Ended(db_, "surveys", survey);
  if (!head) return std::nullopt;
  return SurveySeal(head->first, head->second, ProbesOf(db_, survey), HopsOf(db_, survey));
}

std::optional<std::string> Seals::OfScan(RowId scan) {
  const auto head = Ended(db_, "channel_scans", scan);
  if (!head) return std::nullopt;
  return ScanSeal(head->first, head->second, RoundsOf(db_, scan));
}

std::optional<std::string> Seals::OfVisitEnd(RowId visit) {
  const auto head = Ended(db_, "visits", visit, " AND ended_without_closing = 0");
  if (!head) return std::nullopt;
  return VisitEndSeal(head->first, head->second);
}

void Seals::SealSurvey(RowId survey) {
  Keep(db_, "UPDATE surveys SET seal = ? WHERE id = ?", OfSurvey(survey), survey);
}

void Seals::SealScan(RowId scan) { Keep(db_, "UPDATE channel_scans SET seal = ? WHERE id = ?", OfScan(scan), scan); }

void Seals::SealVisitEnd(RowId visit) {
  Keep(db_, "UPDATE visits SET end_seal = ? WHERE id = ?", OfVisitEnd(visit), visit);
}

void Seals::SealAllEnded() {
  const auto each = [&](const char* sql, auto seal) {
    std::vector<RowId> ids;
    auto st = db_.Prepare(sql);
    while (st.Step()) ids.push_back(st.Int(0));
    for (RowId id : ids) (this->*seal)(id);
  };
  each("SELECT id FROM surveys WHERE ended_at IS NOT NULL AND seal IS NULL", &Seals::SealSurvey);
  each("SELECT id FROM channel_scans WHERE ended_at IS NOT NULL AND seal IS NULL", &Seals::SealScan);
  each("SELECT id FROM visits WHERE ended_at IS NOT NULL AND ended_without_closing = 0 AND end_seal IS NULL",
       &Seals::SealVisitEnd);
}

}  // namespace lm::records
