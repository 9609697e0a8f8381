#include "HopCompaction.h"

#include <algorithm>
#include <cstdio>
#include <tuple>

#include "lm/records/ContentId.h"
#include "lm/records/Database.h"

namespace lm::records {
namespace {

void AddRow(ContentHasher& hasher, const std::string& survey, const HopStats& h) {
  hasher.Add(survey).Add(int64_t{h.route}).Add(int64_t{h.hop}).Add(h.fromUnit).Add(h.unit);
  hasher.Add(int64_t{h.sent}).Add(int64_t{h.answered});
  for (const auto& v : {h.levelMin, h.levelAvg, h.levelMax, h.battery}) {
    if (!v) {
      hasher.Add("null");
      continue;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", *v);
    hasher.Add(text);
  }
}

void PlanSurveys(Database& db, RowId visit, const std::set<RowId>& leaving, Compaction& plan) {
  auto st = db.Prepare(
      "SELECT su.id, su.routes_json FROM surveys su WHERE su.visit_id = ? "
      "AND NOT EXISTS (SELECT 1 FROM packed_surveys p WHERE p.survey_id = su.id) ORDER BY su.started_at, su.id");
  st.BindAll(visit);
  while (st.Step()) {
    if (leaving.contains(st.Int(0))) continue;
    ContentHasher routes("route-list");
    routes.Add(st.Text(1));
    plan.surveys.push_back({st.Int(0), 0, routes.Finish(), st.Text(1)});
  }
}

void PlanRows(Database& db, RowId visit, const std::set<RowId>& leaving, Compaction& plan) {
  auto st = db.Prepare(
      "SELECT h.survey_id, su.started_at, su.content_id, h.route, h.hop, h.from_unit, h.unit, h.sent, h.answered, "
      "h.level_min, h.level_avg, h.level_max, h.battery FROM hop_stats h JOIN surveys su ON su.id = h.survey_id "
      "WHERE su.visit_id = ? ORDER BY su.started_at, h.survey_id, h.route, h.hop");
  st.BindAll(visit);
  ContentHasher hasher("packed-hops");
  std::map<RowId, int64_t> perSurvey;
  while (st.Step()) {
    if (leaving.contains(st.Int(0))) continue;
    PackedHop e{st.Int(0), st.Int(1), {}};
    e.stats = {static_cast<int>(st.Int(3)), static_cast<int>(st.Int(4)), st.Int(5), st.Int(6),
               static_cast<int>(st.Int(7)), static_cast<int>(st.Int(8)), st.OptReal(9), st.OptReal(10),
               st.OptReal(11), st.OptReal(12)};
    AddRow(hasher, st.Text(2), e.stats);
    ++perSurvey[e.survey];
    ++plan.hops;
    plan.rows[e.stats.unit].push_back(std::move(e));
  }
  plan.sha256 = hasher.Finish();
  for (auto& s : plan.surveys) s.hops = perSurvey[s.id];
}

void WriteVisit(Database& db, RowId visit, const HopsByUnit& byUnit) {
  db.Prepare("DELETE FROM packed_hops WHERE visit_id = ?").BindAll(visit).Run();
  auto put = db.Prepare("INSERT INTO packed_hops(unit, visit_id, entries, packed) VALUES (?, ?, ?, ?)");
  for (const auto& [unit, entries] : byUnit) {
    if (entries.empty()) continue;
    put.BindAll(unit, visit, static_cast<int64_t>(entries.size()), PackHops(entries)).Run();
    put.Reset();
  }
}

std::set<RowId> SurveysOf(Database& db, RowId visit) {
  auto st = db.Prepare("SELECT id FROM surveys WHERE visit_id = ?");
  st.BindAll(visit);
  std::set<RowId> ids;
  while (st.Step()) ids.insert(st.Int(0));
  return ids;
}

}  // namespace

Compaction PlanCompaction(Database& db, RowId visit, const std::set<RowId>& leaving) {
  Compaction plan;
  PlanSurveys(db, visit, leaving, plan);
  if (!plan.empty()) PlanRows(db, visit, leaving, plan);
  return plan;
}

json::Value CompactionJson(Database& db, const Compaction& plan) {
  std::set<std::string> lists, added;
  auto known = db.Prepare("SELECT 1 FROM route_lists WHERE sha256 = ?");
  for (const auto& s : plan.surveys) {
    if (!lists.insert(s.routesSha256).second) continue;
    known.BindAll(s.routesSha256);
    if (!known.Step()) added.insert(s.routesSha256);
    known.Reset();
  }
  return json::MakeObject({{"surveys", json::Number(static_cast<double>(plan.surveys.size()))},
                           {"hops", json::Number(static_cast<double>(plan.hops))},
                           {"sha256", json::String(plan.sha256)},
                           {"routeLists", json::Number(static_cast<double>(lists.size()))},
                           {"routeListsAdded", json::Number(static_cast<double>(added.size()))}});
}

void ApplyCompaction(Database& db, RowId visit, RowId thinning, const Compaction& plan) {
  auto list = db.Prepare("INSERT OR IGNORE INTO route_lists(sha256, routes_json) VALUES (?, ?)");
  auto mark = db.Prepare("INSERT INTO packed_surveys(survey_id, hops, routes_sha256, thinning_id) VALUES (?, ?, ?, ?)");
  auto clear = db.Prepare("UPDATE surveys SET routes_json = '' WHERE id = ?");
  for (const auto& s : plan.surveys) {
    list.BindAll(s.routesSha256, s.routesJson).Run();
    list.Reset();
    mark.BindAll(s.id, s.hops, s.routesSha256, thinning).Run();
    mark.Reset();
    clear.BindAll(s.id).Run();
    clear.Reset();
  }
  const std::set<RowId> kept = SurveysOf(db, visit);
  HopsByUnit all = ReadPackedHops(db, visit);
  for (auto& [unit, entries] : all) {
    std::erase_if(entries, [&](const PackedHop& e) { return !kept.contains(e.survey); });
  }
  for (const auto& [unit, entries] : plan.rows) {
    auto& into = all[unit];
    into.insert(into.end(), entries.begin(), entries.end());
  }
  for (auto& [unit, entries] : all) {
    std::sort(entries.begin(), entries.end(), [](const PackedHop& a, const PackedHop& b) {
      return std::tie(a.survey, a.stats.route, a.stats.hop) < std::tie(b.survey, b.stats.route, b.stats.hop);
    });
  }
  WriteVisit(db, visit, all);
  if (!plan.empty()) {
    db.Prepare("DELETE FROM hop_stats WHERE survey_id IN (SELECT id FROM surveys WHERE visit_id = ?)")
        .BindAll(visit)
        .Run();
  }
}

HopsByUnit ReadPackedHops(Database& db, RowId visit) {
  auto st = db.Prepare("SELECT unit, packed FROM packed_hops WHERE visit_id = ?");
  st.BindAll(visit);
  HopsByUnit out;
  while (st.Step()) out[st.Int(0)] = UnpackHops(st.Blob(1), st.Int(0));
  return out;
}

void UnpackIntoTemp(Database& db, RowId visit) {
  db.Exec(
      "CREATE TEMP TABLE IF NOT EXISTS visit_hops (survey_id INTEGER NOT NULL, route INTEGER NOT NULL, "
      "hop INTEGER NOT NULL, from_unit INTEGER NOT NULL, unit INTEGER NOT NULL, sent INTEGER NOT NULL, "
      "answered INTEGER NOT NULL, level_min REAL, level_avg REAL, level_max REAL, battery REAL, "
      "PRIMARY KEY (survey_id, route, hop)) WITHOUT ROWID");
  db.Exec("DELETE FROM temp.visit_hops");
  auto put = db.Prepare("INSERT INTO temp.visit_hops VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  for (const auto& [unit, entries] : ReadPackedHops(db, visit)) {
    for (const auto& e : entries) {
      const HopStats& h = e.stats;
      put.BindAll(e.survey, h.route, h.hop, h.fromUnit, h.unit, h.sent, h.answered, h.levelMin, h.levelAvg,
                  h.levelMax, h.battery)
          .Run();
      put.Reset();
    }
  }
}

}  // namespace lm::records
