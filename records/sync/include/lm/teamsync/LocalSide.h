#pragma once
// The laptop's side of a sync: its own connection to the site-records file
// (WAL lets it read beside the program's connection; its writes queue on the
// busy timeout), so a sync never holds the program's store lock while it
// waits on the network. Throws SyncFailure, SqlError and StoreFailure.

#include <filesystem>
#include <optional>
#include <set>

#include "lm/records/Database.h"
#include "lm/records/Records.h"
#include "lm/teamsync/Inventory.h"
#include "lm/teamsync/RowText.h"

namespace lm::teamsync {

class LocalSide {
 public:
  // The store file must be at this build's schema version (the program
  // opened, and so migrated, it first).
  explicit LocalSide(const std::filesystem::path& storeFile);

  Inventory Items(std::optional<int64_t> siteSerial);
  struct Mark {
    bool synced = false;
    std::optional<std::string> sentBy;
  };
  // Each visit's sync mark and sender, by content id.
  std::map<std::string, Mark> Marks(std::optional<int64_t> siteSerial);
  // The rows of a visit whose items are in `items`; a streamed value is
  // left out (RowText.h), for Pieces to read.
  VisitRows RowsFor(const std::string& visitContentId, const std::set<std::string>& items);
  // Hands each piece of a raw record's streamed bytes to `take`, in order,
  // read in place; refuses (kStore) a record no longer as RowsFor found it.
  void Pieces(const Row& row, const PieceSink& take);

  // Writes a visit's pulled rows, every content id verified, in one
  // transaction; then marks the visit synced when it holds `expected`, and
  // notes who sent it. `pieces` reads the rows' streamed values.
  // Answers what was not kept, and why (PulledRows::refused).
  std::set<std::string> Write(const std::string& visitContentId, const VisitRows& rows, const VisitItems& expected,
                              const std::optional<std::string>& sentBy, const ReadPieces& pieces);

 private:
  std::optional<records::RowId> VisitId(const std::string& visitContentId);
  VisitItems ItemsOf(const std::string& visitContentId);

  records::Database db_;
};

}  // namespace lm::teamsync
