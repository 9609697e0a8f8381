#include "PackedReads.h"

#include <algorithm>

#include "HopPacking.h"
#include "lm/records/Database.h"

namespace lm::records {

std::vector<std::pair<TrendOrder, TrendPoint>> PackedTrend(Database& db, int64_t siteSerial, int64_t unit) {
  auto st = db.Prepare(
      "SELECT v.id, v.started_at, p.packed FROM packed_hops p JOIN visits v ON v.id = p.visit_id "
      "JOIN sites s ON s.id = v.site_id WHERE p.unit = ? AND s.serial = ? ORDER BY v.started_at, v.id");
  st.BindAll(unit, siteSerial);
  std::vector<std::pair<TrendOrder, TrendPoint>> out;
  while (st.Step()) {
    const RowId visit = st.Int(0);
    const Millis visitStart = st.Int(1);
    for (const PackedHop& e : UnpackHops(st.Blob(2), unit)) {
      const HopStats& h = e.stats;
      out.push_back({{visitStart, e.surveyStartedAt, h.route, h.hop},
                     {visit, visitStart, e.survey, e.surveyStartedAt, h.sent, h.answered, h.levelMin, h.levelAvg,
                      h.battery}});
    }
  }
  return out;
}

void AddPackedHops(Database& db, StoredSurvey& survey) {
  auto st = db.Prepare(
      "SELECT p.unit, p.packed FROM packed_hops p WHERE p.visit_id = ?1 "
      "AND EXISTS (SELECT 1 FROM packed_surveys k WHERE k.survey_id = ?2)");
  st.BindAll(survey.visitId, survey.id);
  const size_t before = survey.hops.size();
  while (st.Step()) {
    for (PackedHop& e : UnpackHops(st.Blob(1), st.Int(0))) {
      if (e.survey == survey.id) survey.hops.push_back(std::move(e.stats));
    }
  }
  std::sort(survey.hops.begin() + static_cast<std::ptrdiff_t>(before), survey.hops.end(),
            [](const HopStats& a, const HopStats& b) { return std::tie(a.route, a.hop) < std::tie(b.route, b.hop); });
}

void UnpackForExport(Database& db) {
  db.Exec("UPDATE ex.surveys SET routes_json = (SELECT rl.routes_json FROM main.packed_surveys ps "
          "JOIN main.route_lists rl ON rl.sha256 = ps.routes_sha256 WHERE ps.survey_id = surveys.id) "
          "WHERE id IN (SELECT survey_id FROM main.packed_surveys)");
  auto st = db.Prepare(
      "SELECT p.unit, p.packed FROM main.packed_hops p WHERE p.visit_id IN (SELECT id FROM ex.visits)");
  auto put = db.Prepare("INSERT INTO ex.hop_stats VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  while (st.Step()) {
    for (const PackedHop& e : UnpackHops(st.Blob(1), st.Int(0))) {
      const HopStats& h = e.stats;
      put.BindAll(e.survey, h.route, h.hop, h.fromUnit, h.unit, h.sent, h.answered, h.levelMin, h.levelAvg,
                  h.levelMax, h.battery)
          .Run();
      put.Reset();
    }
  }
}

}  // namespace lm::records
