#pragma once
// The team server's side of a sync: what it holds, a visit's rows sent to
// it in one transaction (through COPY into temporary tables, then inserted
// with what it holds already skipped, so a batch sent twice adds nothing),
// and a visit's rows fetched from it. Throws SyncFailure.

#include <optional>

#include "lm/teamsync/Inventory.h"
#include "lm/teamsync/PgConnection.h"
#include "lm/teamsync/RowText.h"

namespace lm::teamsync {

class ServerSide {
 public:
  // Checks that the server holds team records at a schema this build knows.
  explicit ServerSide(PgConnection& conn);

  Inventory Items(std::optional<int64_t> siteSerial);
  // Who sent each visit in scope, by visit content id.
  std::map<std::string, std::string> Senders(std::optional<int64_t> siteSerial);
  // The session user this connection sends as.
  std::string User();

  // `pieces` reads the rows' streamed values where they are kept.
  void Push(const VisitRows& rows, const ReadPieces& pieces);
  // Streamed values are left out of the rows: Pieces reads them.
  VisitRows Fetch(const std::set<std::string>& items);
  // Hands each piece of a fetched raw record's streamed bytes to `take`, in
  // order; a record gone or changed on the server gives fewer or other
  // bytes, which its content id then refuses.
  void Pieces(const Row& row, const PieceSink& take);

 private:
  void Stage(const TableLayout& layout, const Rows& rows, const ReadPieces& pieces);

  PgConnection& conn_;
  bool staged_ = false;
};

}  // namespace lm::teamsync
