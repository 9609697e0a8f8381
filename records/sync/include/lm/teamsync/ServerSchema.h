#pragma once
// The team records' schema on the server: one versioned SQL file per schema
// version, installed with the package (share/linkmeter/sql/
// team-records-N.sql). A new server takes every file in turn, a server at
// an older version the files after its own, all in one transaction, so its
// records stay as they were. Throws SyncFailure.

#include "lm/teamsync/PgConnection.h"

namespace lm::teamsync {

class ServerSchema {
 public:
  static constexpr int kVersion = 5;

  // Sets the schema up on a server without one, or brings an older one up
  // to this version; false when the server had this version already. A
  // newer version on the server is refused (kSchema).
  static bool Init(PgConnection& conn);
  // Refuses (kSchema) a server without team records or at another version.
  static void Require(PgConnection& conn);
  // The version the server holds; 0 for none.
  static int Found(PgConnection& conn);
};

}  // namespace lm::teamsync
