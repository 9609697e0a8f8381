#pragma once
// The streamed values of a visit's pulled rows (plans' images), fetched
// from the server into an unlinked file beside the store before the store's
// write transaction begins: the store is never held while the network is
// waited on, and no value is ever held whole in memory. Read back piece by
// piece as the rows are written. Throws SyncFailure.

#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include "lm/teamsync/RowText.h"

namespace lm::teamsync {

class PieceSpool {
 public:
  // The file goes in `folder` (the store's), made at the first value.
  explicit PieceSpool(std::filesystem::path folder) : folder_(std::move(folder)) {}
  ~PieceSpool();
  PieceSpool(const PieceSpool&) = delete;
  PieceSpool& operator=(const PieceSpool&) = delete;

  // Fetches every streamed value of `rows` through `fetch`.
  void Fill(const VisitRows& rows, const ReadPieces& fetch);
  // Hands back, piece by piece, what Fill fetched for a row (a ReadPieces);
  // nothing for a row it did not.
  void Pieces(const Row& row, const PieceSink& take) const;

 private:
  void Append(std::span<const uint8_t> piece);

  std::filesystem::path folder_;
  int fd_ = -1;
  int64_t end_ = 0;
  std::map<std::string, std::pair<int64_t, int64_t>> spans_;  // offset and size, by the row's content id
};

}  // namespace lm::teamsync
