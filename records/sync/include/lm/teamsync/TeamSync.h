#pragma once
// A sync of the local site records with the team server: a set union. Each
// side's items are compared visit by visit; what the server lacks is sent,
// what the store lacks is fetched, one visit per batch and each batch one
// transaction on each side, so a sync that is killed or loses its link
// leaves whole visits behind and the next one goes on from there. A visit
// that cannot be moved (refused by the server, or unverified here) is set
// aside and the others go on. A visit both sides hold alike costs nothing
// but the two inventories.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "lm/teamsync/PgConnection.h"

namespace lm::teamsync {

// A visit this sync left alone: the server refused what this computer sent
// for it, or sent something for it this computer could not verify. Nothing
// of it was kept or marked; every other visit went on.
struct SetAsideVisit {
  std::string visit;   // its content id
  std::string reason;  // for the user
  std::string row;     // the server's row that failed, as text ("" when the refusal was the server's)
};

struct SyncCounts {
  int visits = 0;        // visits in scope on either side
  int pushedVisits = 0;  // visits something was sent for
  int pulledVisits = 0;  // visits something was fetched for
  int64_t pushedRows = 0;
  int64_t pulledRows = 0;
  std::string user;      // who this computer sends as
  std::vector<SetAsideVisit> setAside;
  // What the server holds that was not kept, and why: parts or ends of a
  // record from someone other than its sender, or different from a record
  // that has ended here.
  std::vector<std::string> refused;
};

struct SyncProgress {
  int done = 0;
  int total = 0;  // visits that differ
  std::string visit;  // the content id of the visit being moved
};

class TeamSync {
 public:
  using Progress = std::function<void(const SyncProgress&)>;

  // `limits`: the server session's timeouts and TLS rule (PgConnection.h).
  TeamSync(std::filesystem::path storeFile, std::string server, PgSessionLimits limits = {});

  // Throws SyncFailure; what was committed before a failure (or an
  // exception from `progress`) stays. Progress comes before and after each
  // batch.
  SyncCounts Run(std::optional<int64_t> siteSerial, const Progress& progress = {});

 private:
  std::filesystem::path storeFile_;
  std::string server_;
  PgSessionLimits limits_;
};

}  // namespace lm::teamsync
