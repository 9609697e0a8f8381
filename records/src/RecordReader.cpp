#include "lm/records/RecordReader.h"

#include <algorithm>

#include "lm/records/Database.h"
#include "lm/records/StoreResult.h"
#include "lm/records/Transaction.h"
#include "lm/records/VisitVersions.h"
#include "PackedReads.h"

namespace lm::records {
namespace {

[[noreturn]] void NotFound(const std::string& what, RowId id) {
  throw StoreFailure{{StoreErrorCode::kNotFound, "no " + what + " " + std::to_string(id) + " in the site records"}};
}

constexpr const char* kVisitColumns =
    "SELECT v.id, v.content_id, s.serial, v.started_at, v.technician, v.customer, v.notes, v.ended_at, "
    "v.sent_by, EXISTS (SELECT 1 FROM sync_marks m WHERE m.visit_id = v.id), v.ended_without_closing "
    "FROM visits v JOIN sites s ON s.id = v.site_id ";

VisitRow VisitFromRow(const Statement& st) {
  VisitRow row;
  row.id = st.Int(0);
  row.contentId = st.Text(1);
  row.siteSerial = st.Int(2);
  row.info = {st.Int(3), st.Text(4), st.Text(5), st.Text(6)};
  row.endedAt = st.OptInt(7);
  if (!st.IsNull(8)) row.sentBy = st.Text(8);
  row.synced = st.Int(9) != 0;
  row.endedWithoutClosing = st.Int(10) != 0;
  return row;
}

// Summaries of every record of a visit, in one pass over each table.
constexpr const char* kSummaries = R"sql(
SELECT id, content_id, 'registration', taken_at, unit, source FROM registration_snapshots WHERE visit_id = ?1
UNION ALL SELECT id, content_id, 'download', taken_at, unit, source FROM downloads WHERE visit_id = ?1
UNION ALL SELECT id, content_id, 'event-log', taken_at, unit, source FROM event_logs WHERE visit_id = ?1
UNION ALL SELECT id, content_id, 'settings-readback', taken_at, unit, source FROM settings_readbacks WHERE visit_id = ?1
UNION ALL SELECT id, content_id, 'acceptance', taken_at, unit, source FROM acceptances WHERE visit_id = ?1
UNION ALL SELECT id, content_id, 'waiver', taken_at, unit, source FROM waivers WHERE visit_id = ?1
UNION ALL SELECT id, content_id, 'plan', taken_at, unit, source FROM site_plans WHERE visit_id = ?1
UNION ALL SELECT id, content_id, 'map-edit', taken_at, unit, source FROM map_edits WHERE visit_id = ?1
UNION ALL SELECT id, content_id, 'thinning', taken_at, unit, source FROM thinnings WHERE visit_id = ?1
UNION ALL SELECT id, content_id, kind || '-survey', started_at, NULL, '' FROM surveys WHERE visit_id = ?1
UNION ALL SELECT id, content_id, 'channel-scan', started_at, unit, '' FROM channel_scans WHERE visit_id = ?1
UNION ALL SELECT id, content_id, 'settings-write', written_at, unit, '' FROM settings_writes WHERE visit_id = ?1
ORDER BY 4, 3, 1
)sql";

}  // namespace

std::vector<SiteRow> RecordReader::ListSites() {
  auto st = db_.Prepare(
      "SELECT s.id, s.content_id, s.serial, s.name, s.model, count(v.id), max(v.started_at) "
      "FROM sites s LEFT JOIN visits v ON v.site_id = s.id GROUP BY s.id ORDER BY s.name, s.serial");
  std::vector<SiteRow> rows;
  while (st.Step()) {
    rows.push_back({st.Int(0), st.Text(1), {st.Int(2), st.Text(3), st.Text(4)}, static_cast<int>(st.Int(5)),
                    st.OptInt(6)});
  }
  return rows;
}

std::vector<VisitRow> RecordReader::ListVisits(int64_t siteSerial) {
  auto st = db_.Prepare(std::string(kVisitColumns) + "WHERE s.serial = ? ORDER BY v.started_at DESC, v.id DESC");
  st.BindAll(siteSerial);
  std::vector<VisitRow> rows;
  while (st.Step()) rows.push_back(VisitFromRow(st));
  VisitVersions versions(db_);
  for (auto& row : rows) versions.Apply(row);
  return rows;
}

VisitRow RecordReader::ReadVisitRow(RowId visit) {
  auto st = db_.Prepare(std::string(kVisitColumns) + "WHERE v.id = ?");
  st.BindAll(visit);
  if (!st.Step()) NotFound("visit", visit);
  VisitRow row = VisitFromRow(st);
  VisitVersions(db_).Apply(row);
  return row;
}

VisitRecords RecordReader::ReadVisit(RowId visit) {
  Transaction tx(db_, Transaction::Mode::kRead);  // one snapshot for the whole answer
  VisitRecords out;
  out.visit = ReadVisitRow(visit);
  auto st = db_.Prepare(kSummaries);
  st.BindAll(visit);
  while (st.Step()) out.records.push_back({st.Int(0), st.Text(1), st.Text(2), st.Int(3), st.OptInt(4), st.Text(5)});
  out.settingsWrites = ReadSettingsWrites(visit);
  return out;
}

std::vector<StoredSettingsWrite> RecordReader::ReadSettingsWrites(RowId visit) {
  auto st = db_.Prepare(
      "SELECT w.id, w.content_id, w.written_at, w.unit, w.succeeded, w.message, k.key, k.old_json, k.new_json "
      "FROM settings_writes w JOIN settings_write_keys k ON k.write_id = w.id WHERE w.visit_id = ? "
      "ORDER BY w.written_at, w.id, k.position");
  st.BindAll(visit);
  std::vector<StoredSettingsWrite> out;
  while (st.Step()) {
    if (out.empty() || out.back().id != st.Int(0)) {
      out.push_back({st.Int(0), st.Text(1), {st.Int(2), st.OptInt(3), st.Int(4) != 0, st.Text(5), {}}});
    }
    std::optional<std::string> old;
    if (!st.IsNull(7)) old = st.Text(7);
    out.back().write.changes.push_back({st.Text(6), old, st.Text(8)});
  }
  return out;
}

StoredRaw RecordReader::ReadRaw(RawKind kind, RowId id) {
  auto st = db_.Prepare(std::string("SELECT id, content_id, visit_id, taken_at, unit, source, header, raw, "
                                    "coalesce(decoded_json, '') FROM ") +
                        RawKindTable(kind) + " WHERE id = ?");
  st.BindAll(id);
  if (!st.Step()) NotFound(RawKindName(kind), id);
  StoredRaw out{st.Int(0), st.Text(1), st.Int(2),
                {kind, st.Int(3), st.OptInt(4), st.Text(5), st.Blob(6), st.Blob(7), st.Text(8)}, std::nullopt};
  if (kind == RawKind::kMapEdit) {
    auto receipt = db_.Prepare("SELECT received, sent_by FROM map_edit_receipts WHERE edit_id = ?");
    receipt.BindAll(id);
    if (receipt.Step()) out.receipt = Receipt{receipt.Int(0), receipt.Text(1)};
  }
  return out;
}

StoredSurvey RecordReader::ReadSurveyHead(RowId id) {
  Transaction tx(db_, Transaction::Mode::kRead);
  return SurveyHead(id);
}

StoredSurvey RecordReader::SurveyHead(RowId id) {
  auto st = db_.Prepare(
      "SELECT su.id, su.content_id, su.visit_id, su.kind, su.started_at, su.probes_per_route, " LM_SURVEY_ROUTES ", "
      "su.thresholds_json, su.ended_at, coalesce(su.registration_content_id, ''), "
      "(SELECT min(r.id) FROM registration_snapshots r WHERE r.content_id = su.registration_content_id) "
      "FROM surveys su WHERE su.id = ?");
  st.BindAll(id);
  if (!st.Step()) NotFound("survey", id);
  StoredSurvey out{st.Int(0), st.Text(1), st.Int(2), {}, st.OptInt(8), {}, {}};
  out.info = {st.Text(3) == "site" ? SurveyKind::kSite : SurveyKind::kRoute, st.Int(4), static_cast<int>(st.Int(5)),
              st.Text(6), st.Text(7), st.OptInt(10), st.Text(9)};
  return out;
}

StoredSurvey RecordReader::ReadSurvey(RowId id) {
  Transaction tx(db_, Transaction::Mode::kRead);
  StoredSurvey out = SurveyHead(id);
  auto probes = db_.Prepare("SELECT route, seq, at, answered, raw FROM probes WHERE survey_id = ? ORDER BY route, seq");
  probes.BindAll(id);
  while (probes.Step()) {
    out.probes.push_back({static_cast<int>(probes.Int(0)), static_cast<int>(probes.Int(1)), probes.Int(2),
                          probes.Int(3) != 0, probes.Blob(4)});
  }
  auto hops = db_.Prepare(
      "SELECT route, hop, from_unit, unit, sent, answered, level_min, level_avg, level_max, battery "
      "FROM hop_stats WHERE survey_id = ? ORDER BY route, hop");
  hops.BindAll(id);
  while (hops.Step()) {
    out.hops.push_back({static_cast<int>(hops.Int(0)), static_cast<int>(hops.Int(1)), hops.Int(2), hops.Int(3),
                        static_cast<int>(hops.Int(4)), static_cast<int>(hops.Int(5)), hops.OptReal(6),
                        hops.OptReal(7), hops.OptReal(8), hops.OptReal(9)});
  }
  AddPackedHops(db_, out);
  return out;
}

StoredScan RecordReader::ReadScan(RowId id) {
  Transaction tx(db_, Transaction::Mode::kRead);
  auto st = db_.Prepare(
      "SELECT id, content_id, visit_id, started_at, unit, settings_json, ended_at FROM channel_scans WHERE id = ?");
  st.BindAll(id);
  if (!st.Step()) NotFound("channel scan", id);
  StoredScan out{st.Int(0), st.Text(1), st.Int(2), {st.Int(3), st.OptInt(4), st.Text(5)}, st.OptInt(6), {}};
  auto rounds = db_.Prepare(
      "SELECT round, at, raw, coalesce(decoded_json, '') FROM scan_rounds WHERE scan_id = ? ORDER BY round");
  rounds.BindAll(id);
  while (rounds.Step()) {
    out.rounds.push_back({static_cast<int>(rounds.Int(0)), rounds.Int(1), rounds.Blob(2), rounds.Text(3)});
  }
  return out;
}

std::vector<TrendPoint> RecordReader::UnitTrend(int64_t siteSerial, int64_t unit) {
  Transaction tx(db_, Transaction::Mode::kRead);
  std::vector<std::pair<TrendOrder, TrendPoint>> points = PackedTrend(db_, siteSerial, unit);
  auto st = db_.Prepare(
      "SELECT v.id, v.started_at, su.id, su.started_at, h.sent, h.answered, h.level_min, h.level_avg, h.battery, "
      "h.route, h.hop "
      "FROM hop_stats h JOIN surveys su ON su.id = h.survey_id JOIN visits v ON v.id = su.visit_id "
      "JOIN sites s ON s.id = v.site_id WHERE h.unit = ? AND s.serial = ? "
      "ORDER BY v.started_at, su.started_at, h.route, h.hop");
  st.BindAll(unit, siteSerial);
  const bool packed = !points.empty();
  while (st.Step()) {
    points.push_back({{st.Int(1), st.Int(3), static_cast<int>(st.Int(9)), static_cast<int>(st.Int(10))},
                      {st.Int(0), st.Int(1), st.Int(2), st.Int(3), static_cast<int>(st.Int(4)),
                       static_cast<int>(st.Int(5)), st.OptReal(6), st.OptReal(7), st.OptReal(8)}});
  }
  // Packed days come first, each in order, and usually before the rows: sorted only when not.
  const auto before = [](const auto& a, const auto& b) { return a.first < b.first; };
  if (packed && !std::is_sorted(points.begin(), points.end(), before)) {
    std::stable_sort(points.begin(), points.end(), before);
  }
  std::vector<TrendPoint> out;
  out.reserve(points.size());
  for (auto& p : points) out.push_back(std::move(p.second));
  return out;
}

}  // namespace lm::records
