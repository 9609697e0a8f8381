#include "lm/records/AbandonedVisits.h"

#include <string>
#include <vector>

#include "lm/records/Database.h"
#include "lm/records/OwnerToken.h"
#include "lm/records/Transaction.h"

namespace lm::records {
namespace {

// The time of the visit's last record: its start when it has none.
constexpr const char* kCloseAtLastRecord = R"sql(
UPDATE visits SET ended_without_closing = 1, open_by = NULL, ended_at = (SELECT max(t) FROM (
  SELECT started_at AS t FROM visits WHERE id = ?1
  UNION ALL SELECT max(taken_at) FROM registration_snapshots WHERE visit_id = ?1
  UNION ALL SELECT max(taken_at) FROM downloads WHERE visit_id = ?1
  UNION ALL SELECT max(taken_at) FROM event_logs WHERE visit_id = ?1
  UNION ALL SELECT max(taken_at) FROM settings_readbacks WHERE visit_id = ?1
  UNION ALL SELECT max(coalesce(ended_at, started_at)) FROM surveys WHERE visit_id = ?1
  UNION ALL SELECT max(p.at) FROM probes p JOIN surveys s ON s.id = p.survey_id WHERE s.visit_id = ?1
  UNION ALL SELECT max(coalesce(ended_at, started_at)) FROM channel_scans WHERE visit_id = ?1
  UNION ALL SELECT max(r.at) FROM scan_rounds r JOIN channel_scans c ON c.id = r.scan_id WHERE c.visit_id = ?1
  UNION ALL SELECT max(written_at) FROM settings_writes WHERE visit_id = ?1))
WHERE id = ?1 AND ended_at IS NULL
)sql";

struct OpenVisit {
  int64_t id;
  std::string owner;
};

std::vector<OpenVisit> OpenVisits(Database& db) {
  auto st = db.Prepare("SELECT id, coalesce(open_by, '') FROM visits WHERE ended_at IS NULL");
  std::vector<OpenVisit> out;
  while (st.Step()) out.push_back({st.Int(0), st.Text(1)});
  return out;
}

}  // namespace

int CloseAbandonedVisits(Database& db, const std::filesystem::path& storeFile) {
  if (OpenVisits(db).empty()) return 0;  // the usual case, without taking the write lock
  Transaction tx(db);
  int closed = 0;
  auto close = db.Prepare(kCloseAtLastRecord);
  for (const auto& visit : OpenVisits(db)) {
    if (!visit.owner.empty() && OwnerToken::Alive(storeFile, visit.owner)) continue;
    close.BindAll(visit.id).Run();
    close.Reset();
    closed += db.Changes();
  }
  tx.Commit();
  return closed;
}

}  // namespace lm::records
