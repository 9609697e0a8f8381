#pragma once
// Writes rows pulled from the team server into the local store, verified
// like an import: every record's content id is computed again from its
// content, and one that does not match refuses the whole batch
// (kUnverified, naming the row: SyncFailure::row()), as does a version whose
// replaced ids are not canonical. What the store holds already is kept as it
// is. Runs inside the caller's transaction. Throws SyncFailure and SqlError.

#include <map>
#include <string>

#include "lm/records/Database.h"
#include "lm/teamsync/RowText.h"

namespace lm::teamsync {

class PulledRows {
 public:
  explicit PulledRows(records::Database& db) : db_(db) {}

  void Write(const VisitRows& rows);

 private:
  void Verify(const std::string& table, const Row& row, const VisitRows& all);
  int64_t SerialOfSite(const std::string& siteContentId);
  int64_t SerialOfVisitSite(const std::string& visitContentId);

  records::Database& db_;
};

}  // namespace lm::teamsync
