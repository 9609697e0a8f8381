#include "lm/teamsync/ServerSchema.h"

#include "TeamRecordsSql.h"
#include "lm/teamsync/SyncFailure.h"

namespace lm::teamsync {

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
  throw SyncFailure(SyncFailureKind::kSchema, "the team server's records are at schema version " +
                                                  std::to_string(found) + ", newer than this version of Linkmeter (" +
                                                  std::to_string(kVersion) + ")");
}

bool ServerSchema::Init(PgConnection& conn) {
  const int found = Found(conn);
  if (found == kVersion) return false;
  if (found > kVersion) Require(conn);
  PgTransaction tx(conn);
  conn.Exec(kTeamRecordsSql);
  tx.Commit();
  return true;
}

}  // namespace lm::teamsync
