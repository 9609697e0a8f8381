#include "lm/records/Thinning.h"

#include <cstdio>
#include <set>
#include <vector>

#include "lm/Json.h"
#include "lm/records/ContentId.h"
#include "lm/records/Database.h"
#include "lm/records/Transaction.h"
#include "HopCompaction.h"

namespace lm::records {
namespace {

struct Cutoffs {
  Millis probes = 0;  // surveys begun before this lose their probes
  Millis hops = 0;    // and before this their hop statistics
};

struct Part {
  RowId survey = 0;
  std::string surveyId;
  const char* part = "";
  int64_t count = 0;
  std::string sha256;
};

// What a survey part's rows are: the digest fed in key order, every field typed.
constexpr const char* kProbeRows =
    "SELECT route, seq, at, answered, raw FROM probes WHERE survey_id = ? ORDER BY route, seq";
// Packed hop statistics count as the rows they stand for (temp.visit_hops).
const std::string kHopRows =
    std::string("SELECT route, hop, from_unit, unit, sent, answered, level_min, level_avg, level_max, battery FROM ") +
    kAllHopStats + " WHERE survey_id = ? ORDER BY route, hop";

std::string RealText(const Statement& st, int column) {
  const auto v = st.OptReal(column);
  if (!v) return "null";
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", *v);
  return text;
}

void Digest(Database& db, Part& p) {
  const bool probes = std::string_view(p.part) == "probes";
  ContentHasher hasher(probes ? "thinned-probes" : "thinned-hops");
  auto st = db.Prepare(probes ? kProbeRows : kHopRows);
  st.BindAll(p.survey);
  while (st.Step()) {
    ++p.count;
    if (probes) {
      hasher.Add(st.Int(0)).Add(st.Int(1)).Add(st.Int(2)).Add(st.Int(3)).Add(std::span<const uint8_t>(st.Blob(4)));
      continue;
    }
    for (int c = 0; c < 6; ++c) hasher.Add(st.Int(c));
    for (int c = 6; c < 10; ++c) hasher.Add(RealText(st, c));
  }
  p.sha256 = hasher.Finish();
}

// The visit's surveys begun before `before` that still hold probes, or
// every one of them for the hop statistics (the surveys go with them).
std::vector<Part> PartsOf(Database& db, RowId visit, const char* part, Millis before) {
  const bool probes = std::string_view(part) == "probes";
  auto st = db.Prepare(std::string("SELECT su.id, su.content_id FROM surveys su WHERE su.visit_id = ? AND su.started_at < ? ") +
                       (probes ? "AND EXISTS (SELECT 1 FROM probes x WHERE x.survey_id = su.id) " : "") +
                       "ORDER BY su.started_at, su.id");
  st.BindAll(visit, before);
  std::vector<Part> parts;
  while (st.Step()) parts.push_back({st.Int(0), st.Text(1), part, 0, ""});
  for (Part& p : parts) Digest(db, p);
  return parts;
}

json::Value OptNumber(const Statement& st, int column) {
  const auto v = st.OptReal(column);
  return v ? json::Number(*v) : json::Value();
}

// Per hop of the day (from, unit): what the removed statistics said.
json::Value DaySummary(Database& db, RowId visit, Millis before) {
  auto st = db.Prepare(
      std::string("SELECT h.from_unit, h.unit, count(DISTINCT h.survey_id), sum(h.sent), sum(h.answered), "
                  "min(h.level_min), avg(h.level_avg), max(h.level_max), min(h.battery), max(h.battery) FROM ") +
      kAllHopStats +
      " h JOIN surveys su ON su.id = h.survey_id WHERE su.visit_id = ? AND su.started_at < ? "
      "GROUP BY h.from_unit, h.unit ORDER BY h.from_unit, h.unit");
  st.BindAll(visit, before);
  json::Array hops;
  while (st.Step()) {
    hops.push_back(json::MakeObject({{"from", json::Number(st.Int(0))}, {"unit", json::Number(st.Int(1))},
                                     {"rounds", json::Number(st.Int(2))}, {"sent", json::Number(st.Int(3))},
                                     {"answered", json::Number(st.Int(4))}, {"levelMin", OptNumber(st, 5)},
                                     {"levelAvg", OptNumber(st, 6)}, {"levelMax", OptNumber(st, 7)},
                                     {"batteryMin", OptNumber(st, 8)}, {"batteryMax", OptNumber(st, 9)}}));
  }
  return json::Value(hops);
}

std::string DecodedText(const RetentionPolicy& policy, const std::vector<Part>& parts, const json::Value& summary,
                        const json::Value& packed) {
  json::Array removed;
  int64_t probes = 0, hops = 0, surveys = 0;
  for (const Part& p : parts) {
    (std::string_view(p.part) == "probes" ? probes : hops) += p.count;
    surveys += std::string_view(p.part) == "hops";
    removed.push_back(json::MakeObject({{"survey", json::String(p.surveyId)}, {"part", json::String(p.part)},
                                        {"count", json::Number(p.count)}, {"sha256", json::String(p.sha256)}}));
  }
  json::Value decoded = json::MakeObject(
      {{"policy", json::MakeObject({{"probeDays", json::Number(policy.probes.count() / 24.0)},
                                    {"hopDays", json::Number(policy.hops.count() / 24.0)}})},
       {"probes", json::Number(probes)}, {"hops", json::Number(hops)}, {"surveys", json::Number(surveys)},
       {"removed", json::Value(removed)}});
  if (!summary.is<picojson::null>()) decoded.get<json::Object>()["daySummary"] = summary;
  if (!packed.is<picojson::null>()) decoded.get<json::Object>()["packed"] = packed;
  return json::ToText(decoded);
}

RowId AddRecord(Database& db, RowId visit, const std::string& by, Millis now, std::string decoded) {
  auto cid = db.Prepare("SELECT content_id FROM visits WHERE id = ?");
  cid.BindAll(visit);
  cid.Step();
  const RawRecord record{RawKind::kThinning, now, std::nullopt, by, {}, {}, std::move(decoded)};
  db.Prepare("INSERT INTO thinnings(content_id, visit_id, taken_at, unit, source, header, raw, decoded_json) "
             "VALUES (?, ?, ?, NULL, ?, NULL, ?, ?)")
      .BindAll(RawContentId(cid.Text(0), record), visit, now, by, record.raw, record.decodedJson)
      .Run();
  return db.LastInsertId();
}

// A survey past the hop statistics' time goes whole; what the sync counted
// of it stays, so the team server's copy is never fetched back.
void RemoveSurvey(Database& db, RowId thinning, RowId survey) {
  db.Prepare("INSERT INTO thinned_surveys(content_id, visit_id, ended, probes, hops, thinning_id) "
             "SELECT su.content_id, su.visit_id, su.ended_at IS NOT NULL, "
             "coalesce((SELECT t.count FROM thinned_parts t WHERE t.survey_id = su.id AND t.part = 'probes'), 0), "
             "coalesce((SELECT t.count FROM thinned_parts t WHERE t.survey_id = su.id AND t.part = 'hops'), 0), ? "
             "FROM surveys su WHERE su.id = ?")
      .BindAll(thinning, survey)
      .Run();
  db.Prepare("DELETE FROM surveys WHERE id = ?").BindAll(survey).Run();
}

void RemoveParts(Database& db, RowId thinning, const std::vector<Part>& parts) {
  auto kept = db.Prepare("INSERT INTO thinned_parts(survey_id, part, count, sha256, thinning_id) VALUES (?, ?, ?, ?, ?)");
  auto probes = db.Prepare("DELETE FROM probes WHERE survey_id = ?");
  auto hops = db.Prepare("DELETE FROM hop_stats WHERE survey_id = ?");
  for (const Part& p : parts) {
    kept.BindAll(p.survey, p.part, p.count, p.sha256, thinning).Run();
    kept.Reset();
    Statement& remove = std::string_view(p.part) == "probes" ? probes : hops;
    remove.BindAll(p.survey).Run();
    remove.Reset();
  }
  for (const Part& p : parts) {
    if (std::string_view(p.part) == "hops") RemoveSurvey(db, thinning, p.survey);
  }
}

// A visit whose every survey is past the probes' time has its hop statistics
// packed, less the surveys the same thinning removes.
Compaction PlanFor(Database& db, RowId visit, const Cutoffs& cut, const std::vector<Part>& leaving) {
  auto st = db.Prepare("SELECT 1 FROM visits WHERE id = ? AND ended_at < ?");
  st.BindAll(visit, cut.probes);
  if (!st.Step()) return {};
  std::set<RowId> gone;
  for (const Part& p : leaving) gone.insert(p.survey);
  return PlanCompaction(db, visit, gone);
}

ThinningCounts ThinVisit(Database& db, RowId visit, const RetentionPolicy& policy, const Cutoffs& cut,
                         const ThinningScope& scope, Millis now) {
  Transaction tx(db);
  UnpackIntoTemp(db, visit);
  std::vector<Part> parts = PartsOf(db, visit, "probes", cut.probes);
  const std::vector<Part> hops = PartsOf(db, visit, "hops", cut.hops);
  const Compaction plan = PlanFor(db, visit, cut, hops);
  if (parts.empty() && hops.empty() && plan.empty()) return {};
  const json::Value summary = hops.empty() ? json::Value() : DaySummary(db, visit, cut.hops);
  const json::Value packed = plan.empty() ? json::Value() : CompactionJson(db, plan);
  parts.insert(parts.end(), hops.begin(), hops.end());
  const RowId record = AddRecord(db, visit, scope.by, now, DecodedText(policy, parts, summary, packed));
  RemoveParts(db, record, parts);
  if (!plan.empty() || !hops.empty()) ApplyCompaction(db, visit, record, plan);
  tx.Commit();
  ThinningCounts counts{1, 0, 0};
  for (const Part& p : parts) (std::string_view(p.part) == "probes" ? counts.probes : counts.hops) += p.count;
  return counts;
}

// Closed visits in scope with a survey part past its time.
std::vector<RowId> VisitsToThin(Database& db, const ThinningScope& scope, const Cutoffs& cut) {
  auto st = db.Prepare(
      "SELECT v.id FROM visits v WHERE v.technician = ?1 AND v.ended_at IS NOT NULL AND v.started_at < ?2 "
      "AND v.site_id = (SELECT s.id FROM sites s WHERE s.serial = ?5) "
      "AND (EXISTS (SELECT 1 FROM sync_marks m WHERE m.visit_id = v.id) OR (?4 AND v.sent_by IS NULL)) "
      "AND EXISTS (SELECT 1 FROM surveys su WHERE su.visit_id = v.id AND ("
      "(su.started_at < ?2 AND EXISTS (SELECT 1 FROM probes p WHERE p.survey_id = su.id)) OR su.started_at < ?3 "
      "OR (v.ended_at < ?2 AND NOT EXISTS (SELECT 1 FROM packed_surveys k WHERE k.survey_id = su.id)))) "
      "ORDER BY v.started_at, v.id");
  st.BindAll(scope.technician, cut.probes, cut.hops, int64_t{scope.unsentToo}, scope.siteSerial);
  std::vector<RowId> visits;
  while (st.Step()) visits.push_back(st.Int(0));
  return visits;
}

}  // namespace

ThinningCounts ThinVisits(Database& db, const RetentionPolicy& policy, const ThinningScope& scope, Millis now) {
  const Cutoffs cut{now - std::chrono::milliseconds(policy.probes).count(),
                    now - std::chrono::milliseconds(policy.hops).count()};
  ThinningCounts total;
  // A visit at a time: each thinning is short and whole, and a stop between
  // two leaves every visit either thinned or as it was.
  for (const RowId visit : VisitsToThin(db, scope, cut)) {
    const ThinningCounts one = ThinVisit(db, visit, policy, cut, scope, now);
    total.visits += one.visits;
    total.probes += one.probes;
    total.hops += one.hops;
  }
  return total;
}

}  // namespace lm::records
