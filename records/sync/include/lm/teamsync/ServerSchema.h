#pragma once
// The team records' schema on the server: the versioned SQL file installed
// with the package (share/linkmeter/sql/team-records-1.sql), applied once
// in one transaction. Throws SyncFailure.

#include "lm/teamsync/PgConnection.h"

namespace lm::teamsync {

class ServerSchema {
 public:
  static constexpr int kVersion = 1;

  // Applies the schema when the server has none; false when it had this
  // version already. A newer version on the server is refused (kSchema).
  static bool Init(PgConnection& conn);
  // Refuses (kSchema) a server without team records or with a newer schema.
  static void Require(PgConnection& conn);
  // The version the server holds; 0 for none.
  static int Found(PgConnection& conn);
};

}  // namespace lm::teamsync
