#include "lm/teamsync/ServerSchema.h"

#include <iterator>

#include "TeamRecordsSql1.h"
#include "TeamRecordsSql2.h"
#include "TeamRecordsSql3.h"
#include "TeamRecordsSql4.h"
#include "TeamRecordsSql5.h"
#include "lm/teamsync/SyncFailure.h"

namespace lm::teamsync {
namespace {

// Each file with the version it brings a server to, in order.
struct Step {
  int version;
  const char* sql;
};
constexpr Step kSteps[] = {{1, kTeamRecordsSql1}, {2, kTeamRecordsSql2}, {3, kTeamRecordsSql3}, {4, kTeamRecordsSql4},
                         {5, kTeamRecordsSql5}};
static_assert(std::end(kSteps)[-1].version == ServerSchema::kVersion);

}  // namespace

int ServerSchema::Found(PgConnection& conn) {
  PgResult has = conn.Exec("SELECT to_regclass('linkmeter.schema_version') IS NOT NULL");
  if (has.Text(0, 0) != "t") return 0;
  PgResult v = conn.Exec("SELECT max(version) FROM linkmeter.schema_version");
  return v.Get(0, 0) ? std::stoi(*v.Get(0, 0)) : 0;
}

void ServerSchema::Require(PgConnection& conn) {
  const int found = Found(conn);
  if (found == kVersion) return;
  if (found == 0) {
    throw SyncFailure(SyncFailureKind::kSchema,
                      "the team server holds no Linkmeter team records; set it up first with "
                      "\"linkmeter-cli records server-init\"");
  }
  if (found < kVersion) {
    throw SyncFailure(SyncFailureKind::kSchema,
                      "the team server's records are at schema version " + std::to_string(found) +
                          ", older than this version of Linkmeter (" + std::to_string(kVersion) +
                          "); its owner brings them up to date with \"linkmeter-cli records server-init\"");
  }
  throw SyncFailure(SyncFailureKind::kSchema, "the team server's records are at schema version " +
                                                  std::to_string(found) + ", newer than this version of Linkmeter (" +
                                                  std::to_string(kVersion) + ")");
}

bool ServerSchema::Init(PgConnection& conn) {
  PgTransaction tx(conn);
  int found = Found(conn);
  if (found > 0) {
    // Two inits at once: the second waits here and then finds the first's work.
    conn.Exec("LOCK TABLE linkmeter.schema_version IN SHARE ROW EXCLUSIVE MODE");
    found = Found(conn);
  }
  if (found == kVersion) return false;
  if (found > kVersion) Require(conn);
  for (const Step& step : kSteps) {
    if (step.version > found) conn.Exec(step.sql);
  }
  tx.Commit();
  return true;
}

}  // namespace lm::teamsync
