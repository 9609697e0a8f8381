#include "lm/teamsync/ServerSchema.h"

#include <iterator>

#include "TeamRecordsSql1.h"
#include "TeamRecordsSql2.h"
#include "TeamRecordsSql3.h"
#include "lm/teamsync/SyncFailure.h"

namespace lm::teamsync {
namespace {

// The file that brings a server from version i to i + 1.
constexpr const char* kSteps[] = {kTeamRecordsSql1, kTeamRecordsSql2, kTeamRecordsSql3};
static_assert(std::size(kSteps) == ServerSchema::kVersion);

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
  for (int step = found; step < kVersion; ++step) conn.Exec(kSteps[step]);
  tx.Commit();
  return true;
}

}  // namespace lm::teamsync
