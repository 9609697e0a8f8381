#include "lm/records/Seals.h"

#include <limits>
#include <utility>
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

// In key order (route, hop).
std::vector<HopStats> HopsOf(Database& db, RowId survey) {
  auto st = db.Cached(
      "SELECT route, hop, from_unit, unit, sent, answered, level_min, level_avg, level_max, battery "
      "FROM hop_stats WHERE survey_id = ? ORDER BY route, hop");
  st->BindAll(survey);
  std::vector<HopStats> out;
  while (st->Step()) {
    out.push_back({static_cast<int>(st->Int(0)), static_cast<int>(st->Int(1)), st->Int(2), st->Int(3),
                   static_cast<int>(st->Int(4)), static_cast<int>(st->Int(5)), OptReal(*st, 6), OptReal(*st, 7),
                   OptReal(*st, 8), OptReal(*st, 9)});
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

bool FitsInt(int64_t value) {
  return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

// Whether (a, b) comes after the last pair taken, which it then becomes:
// the reads below come in key order, so this holds unless a key does not
// fit the parts' int fields, whose order then decides.
bool Follows(std::optional<std::pair<int64_t, int64_t>>& last, int64_t a, int64_t b) {
  if (!FitsInt(a) || !FitsInt(b) || (last && std::pair(a, b) <= *last)) return false;
  last = std::pair(a, b);
  return true;
}

// A survey's seal over its parts read straight from the store in sealed
// order (the tables' keys), none of them copied; nullopt when a part's
// key breaks that order, left to the seal over the parts in memory.
std::optional<std::string> StreamedSurveySeal(Database& db, RowId survey, const std::string& surveyId,
                                              Millis endedAt) {
  auto count = db.Cached("SELECT count(*) FROM probes WHERE survey_id = ?");
  count->BindAll(survey).Step();
  SurveySealer sealer(surveyId, endedAt, count->Int(0));
  auto probes = db.Cached("SELECT route, seq, at, answered, raw FROM probes WHERE survey_id = ? ORDER BY route, seq");
  probes->BindAll(survey);
  std::optional<std::pair<int64_t, int64_t>> last;
  while (probes->Step()) {
    if (!Follows(last, probes->Int(0), probes->Int(1))) return std::nullopt;
    sealer.AddProbe(static_cast<int>(probes->Int(0)), static_cast<int>(probes->Int(1)), probes->Int(2),
                    probes->Int(3) != 0, probes->BlobView(4));
  }
  const std::vector<HopStats> hops = HopsOf(db, survey);
  sealer.StartHops(static_cast<int64_t>(hops.size()));
  last.reset();
  for (const auto& h : hops) {
    if (!Follows(last, h.route, h.hop)) return std::nullopt;
    sealer.AddHop(h);
  }
  return sealer.Finish();
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
  if (auto streamed = StreamedSurveySeal(db_, survey, head->first, head->second)) return streamed;
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
