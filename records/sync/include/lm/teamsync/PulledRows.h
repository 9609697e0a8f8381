#pragma once
// Writes rows pulled from the team server into the local store, verified
// like an import: every record's content id is computed again from its
// content, and one that does not match refuses the whole batch
// (kUnverified, naming the row: SyncFailure::row()), as does a version whose
// replaced ids are not canonical. What the store holds already is kept as it
// is. Runs inside the caller's transaction. Throws SyncFailure and SqlError.
//
// A part (probes, hop statistics, scan rounds, keys) or an end is kept only
// when it came from its record's sender; an end only with a seal that
// matches it and the parts then held, checked before the batch is kept. A
// record sealed here takes nothing more: what the server holds otherwise
// is left there and named in refused().
//
// A raw record's streamed bytes (a plan's image) are written into its row
// piece by piece as they are read, its image's hash and content id taken
// on the way; one that does not match refuses the batch as above, and the
// caller's transaction takes back what was written.

#include <map>
#include <set>
#include <string>
#include <utility>

#include "lm/records/Database.h"
#include "lm/teamsync/RowText.h"

namespace lm::teamsync {

// A table of parts or ends, and the record they belong to.
struct PartOf {
  const char* table;
  const char* what;      // "probes", "the end"
  const char* head;      // the record's kind, for messages
  const char* sealedIn;  // the local table of the record and its seal; null when its id covers them
  bool end;
};

class PulledRows {
 public:
  // `pieces` reads the rows' streamed values.
  PulledRows(records::Database& db, ReadPieces pieces) : db_(db), pieces_(std::move(pieces)) {}

  void Write(const VisitRows& rows);
  // What was not kept, and why, one line each.
  const std::set<std::string>& refused() const { return refused_; }

 private:
  bool FromItsSender(const PartOf& part, const TableLayout& layout, const Row& row);
  bool Sealed(const PartOf& part, const std::string& head);
  void WriteEnd(const PartOf& part, const Row& row);
  void Refuse(const PartOf& part, const std::string& head, const std::string& why);
  void Verify(const std::string& table, const Row& row, const VisitRows& all);
  void Insert(const TableLayout& layout, const Row& row);
  void InsertStreamed(const TableLayout& layout, const Row& row, int64_t size);
  void WriteStreamed(const Row& row, int64_t size, bool inserted);
  int64_t SerialOfSite(const std::string& siteContentId);
  int64_t SerialOfVisitSite(const std::string& visitContentId);

  records::Database& db_;
  ReadPieces pieces_;
  std::map<std::string, records::Statement> statements_;
  std::set<std::string> refused_;
};

}  // namespace lm::teamsync
