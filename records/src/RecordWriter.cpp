#include "lm/records/RecordWriter.h"

#include <chrono>

#include "BatchInsert.h"
#include "lm/Json.h"
#include "lm/records/ContentId.h"
#include "lm/records/Database.h"
#include "lm/records/Seals.h"
#include "lm/records/StoreResult.h"
#include "lm/records/Transaction.h"
#include "lm/records/VisitVersions.h"

namespace lm::records {
namespace {

[[noreturn]] void NotFound(const std::string& what, RowId id) {
  throw StoreFailure{{StoreErrorCode::kNotFound, "no " + what + " " + std::to_string(id) + " in the site records"}};
}

void RequireJsonOrEmpty(const std::string& text, const char* what) {
  if (text.empty()) return;
  const auto value = json::Parse(text);
  if (value && (value->is<json::Object>() || value->is<json::Array>())) return;
  throw StoreFailure{{StoreErrorCode::kInvalid, std::string(what) + " is not a JSON object or array"}};
}

// The team server keeps text as UTF-8 without U+0000: what it could not
// store is refused here, at the field, not at a later sync.
void RequireStorable(const std::string& text, const char* what) {
  if (StorableText(text)) return;
  throw StoreFailure{{StoreErrorCode::kInvalid, std::string(what) +
                                                    " holds a character the team records cannot keep (U+0000, or "
                                                    "bytes that are not UTF-8)"}};
}

void RequireStorable(const VisitInfo& info) {
  RequireStorable(info.technician, "the technician's name");
  RequireStorable(info.customer, "the customer");
  RequireStorable(info.notes, "the notes");
}

}  // namespace

std::string RecordWriter::VisitContentIdOf(RowId visit) {
  auto st = db_.Prepare("SELECT content_id FROM visits WHERE id = ?");
  st.BindAll(visit);
  if (!st.Step()) NotFound("visit", visit);
  return st.Text(0);
}

void RecordWriter::RequireRow(const char* table, RowId id, const char* what) {
  auto st = db_.Cached(std::string("SELECT 1 FROM ") + table + " WHERE id = ?");
  st->BindAll(id);
  if (!st->Step()) NotFound(what, id);
}

RowId RecordWriter::InsertOnce(Statement& insert, const char* table, const std::string& contentId) {
  insert.Run();
  if (db_.Changes() > 0) return db_.LastInsertId();
  auto st = db_.Prepare(std::string("SELECT id FROM ") + table + " WHERE content_id = ?");
  st.BindAll(contentId);
  st.Step();
  return st.Int(0);
}

RowId RecordWriter::StartVisit(const SiteInfo& site, const VisitInfo& info) {
  RequireStorable(info);
  RequireStorable(site.name, "the site's name");
  RequireStorable(site.model, "the site's model");
  Transaction tx(db_);
  const std::string siteId = SiteContentId(site.serial);
  auto upsert = db_.Prepare(
      "INSERT INTO sites(content_id, serial, name, model) VALUES (?, ?, ?, ?) "
      "ON CONFLICT(serial) DO UPDATE SET name = iif(excluded.name = '', name, excluded.name), "
      "model = iif(excluded.model = '', model, excluded.model)");
  upsert.BindAll(siteId, site.serial, site.name, site.model).Run();
  const std::string visitId = VisitContentId(site.serial, info.startedAt);
  auto insert = db_.Prepare(
      "INSERT INTO visits(content_id, site_id, started_at, technician, customer, notes, open_by) "
      "SELECT ?, id, ?, ?, ?, ?, nullif(?, '') FROM sites WHERE serial = ? ON CONFLICT(content_id) DO NOTHING");
  insert.BindAll(visitId, info.startedAt, info.technician, info.customer, info.notes, owner_, site.serial);
  const RowId id = InsertOnce(insert, "visits", visitId);
  tx.Commit();
  return id;
}

void RecordWriter::EndVisit(RowId visit, Millis endedAt) {
  Transaction tx(db_);
  RequireRow("visits", visit, "visit");
  db_.Prepare("UPDATE visits SET ended_at = ?, ended_without_closing = 0, open_by = NULL WHERE id = ?")
      .BindAll(endedAt, visit)
      .Run();
  Seals(db_).SealVisitEnd(visit);
  tx.Commit();
}

void RecordWriter::UpdateVisit(RowId visit, const VisitInfo& info, std::vector<std::string> replaces) {
  RequireStorable(info);
  using namespace std::chrono;
  const Millis now = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  VisitVersions(db_).Add(visit, info, now, std::move(replaces));
}

RowId RecordWriter::AddRaw(RowId visit, const RawRecord& r) {
  RequireJsonOrEmpty(r.decodedJson, "the decoded record");
  Transaction tx(db_);
  const std::string contentId = RawContentId(VisitContentIdOf(visit), r);
  const std::string table = RawKindTable(r.kind);
  auto insert = db_.Prepare("INSERT INTO " + table +
                            "(content_id, visit_id, taken_at, unit, source, header, raw, decoded_json) "
                            "VALUES (?, ?, ?, ?, ?, ?, ?, nullif(?, '')) ON CONFLICT(content_id) DO NOTHING");
  insert.BindAll(contentId, visit, r.takenAt, r.unit, r.source, r.header, r.raw, r.decodedJson);
  const RowId id = InsertOnce(insert, table.c_str(), contentId);
  tx.Commit();
  return id;
}

std::string RecordWriter::RegistrationContentIdOf(RowId registration) {
  auto st = db_.Prepare("SELECT content_id FROM registration_snapshots WHERE id = ?");
  st.BindAll(registration);
  if (!st.Step()) NotFound("registration", registration);
  return st.Text(0);
}

RowId RecordWriter::BeginSurvey(RowId visit, const SurveyInfo& given) {
  RequireJsonOrEmpty(given.routesJson, "the routes");
  RequireJsonOrEmpty(given.thresholdsJson, "the thresholds");
  if (given.probesPerRoute < 0) throw StoreFailure{{StoreErrorCode::kInvalid, "probes per route is negative"}};
  Transaction tx(db_);
  SurveyInfo s = given;
  if (s.registrationId) s.registrationContentId = RegistrationContentIdOf(*s.registrationId);
  const std::string contentId = SurveyContentId(VisitContentIdOf(visit), s);
  auto insert = db_.Prepare(
      "INSERT INTO surveys(content_id, visit_id, kind, started_at, probes_per_route, routes_json, thresholds_json, "
      "registration_content_id) VALUES (?, ?, ?, ?, ?, ?, ?, nullif(?, '')) ON CONFLICT(content_id) DO NOTHING");
  insert.BindAll(contentId, visit, SurveyKindName(s.kind), s.startedAt, s.probesPerRoute, s.routesJson,
                 s.thresholdsJson, s.registrationContentId);
  const RowId id = InsertOnce(insert, "surveys", contentId);
  tx.Commit();
  return id;
}

void RecordWriter::AddProbes(RowId survey, std::span<const Probe> probes) {
  Transaction tx(db_);
  RequireRow("surveys", survey, "survey");
  BatchInsert insert(db_, "INSERT INTO probes(survey_id, route, seq, at, answered, raw)", "(?, ?, ?, ?, ?, ?)",
                     "ON CONFLICT DO NOTHING", 6);
  insert.Run(probes.size(), [&](Statement& st, int first, size_t i) {
    const Probe& p = probes[i];
    st.BindFrom(first, survey, p.route, p.seq, p.at, int{p.answered}, p.raw);
  });
  tx.Commit();
}

namespace {

void PutHopStats(Database& db, RowId survey, std::span<const HopStats> hops) {
  BatchInsert insert(db,
                     "INSERT INTO hop_stats(survey_id, route, hop, from_unit, unit, sent, answered, level_min, "
                     "level_avg, level_max, battery)",
                     "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                     "ON CONFLICT DO UPDATE SET from_unit = excluded.from_unit, unit = excluded.unit, "
                     "sent = excluded.sent, answered = excluded.answered, level_min = excluded.level_min, "
                     "level_avg = excluded.level_avg, level_max = excluded.level_max, battery = excluded.battery",
                     11);
  insert.Run(hops.size(), [&](Statement& st, int first, size_t i) {
    const HopStats& h = hops[i];
    st.BindFrom(first, survey, h.route, h.hop, h.fromUnit, h.unit, h.sent, h.answered, h.levelMin, h.levelAvg,
                h.levelMax, h.battery);
  });
}

}  // namespace

void RecordWriter::AddHopStats(RowId survey, std::span<const HopStats> hops) {
  Transaction tx(db_);
  RequireRow("surveys", survey, "survey");
  PutHopStats(db_, survey, hops);
  tx.Commit();
}

void RecordWriter::FinishSurvey(RowId survey, Millis endedAt, std::span<const HopStats> hops) {
  Transaction tx(db_);
  RequireRow("surveys", survey, "survey");
  PutHopStats(db_, survey, hops);
  db_.Prepare("UPDATE surveys SET ended_at = ? WHERE id = ?").BindAll(endedAt, survey).Run();
  Seals(db_).SealSurvey(survey);
  tx.Commit();
}

RowId RecordWriter::BeginScan(RowId visit, const ScanInfo& s) {
  RequireJsonOrEmpty(s.settingsJson, "the scan settings");
  Transaction tx(db_);
  const std::string contentId = ScanContentId(VisitContentIdOf(visit), s);
  auto insert = db_.Prepare(
      "INSERT INTO channel_scans(content_id, visit_id, started_at, unit, settings_json) VALUES (?, ?, ?, ?, ?) "
      "ON CONFLICT(content_id) DO NOTHING");
  insert.BindAll(contentId, visit, s.startedAt, s.unit, s.settingsJson);
  const RowId id = InsertOnce(insert, "channel_scans", contentId);
  tx.Commit();
  return id;
}

void RecordWriter::AddScanRounds(RowId scan, std::span<const ScanRound> rounds) {
  Transaction tx(db_);
  RequireRow("channel_scans", scan, "channel scan");
  auto insert = db_.Cached(
      "INSERT INTO scan_rounds(scan_id, round, at, raw, decoded_json) VALUES (?, ?, ?, ?, nullif(?, '')) "
      "ON CONFLICT DO NOTHING");
  for (const auto& r : rounds) {
    RequireJsonOrEmpty(r.decodedJson, "a decoded scan round");
    insert->BindAll(scan, r.round, r.at, r.raw, r.decodedJson).Run();
    insert->Reset();
  }
  tx.Commit();
}

void RecordWriter::FinishScan(RowId scan, Millis endedAt) {
  Transaction tx(db_);
  RequireRow("channel_scans", scan, "channel scan");
  db_.Prepare("UPDATE channel_scans SET ended_at = ? WHERE id = ?").BindAll(endedAt, scan).Run();
  Seals(db_).SealScan(scan);
  tx.Commit();
}

RowId RecordWriter::AddSettingsWrite(RowId visit, const SettingsWrite& w) {
  if (w.changes.empty()) throw StoreFailure{{StoreErrorCode::kInvalid, "a settings write without keys"}};
  Transaction tx(db_);
  const std::string contentId = SettingsWriteContentId(VisitContentIdOf(visit), w);
  auto insert = db_.Prepare(
      "INSERT INTO settings_writes(content_id, visit_id, written_at, unit, succeeded, message) "
      "VALUES (?, ?, ?, ?, ?, ?) ON CONFLICT(content_id) DO NOTHING");
  insert.BindAll(contentId, visit, w.writtenAt, w.unit, int{w.succeeded}, w.message);
  const RowId id = InsertOnce(insert, "settings_writes", contentId);
  if (db_.Changes() == 0) return id;  // recorded before, keys and all
  auto key = db_.Prepare(
      "INSERT INTO settings_write_keys(write_id, position, key, old_json, new_json) VALUES (?, ?, ?, ?, ?)");
  for (size_t i = 0; i < w.changes.size(); ++i) {
    const auto& c = w.changes[i];
    key.BindAll(id, static_cast<int64_t>(i), c.key, c.oldJson, c.newJson).Run();
    key.Reset();
  }
  tx.Commit();
  return id;
}

}  // namespace lm::records
