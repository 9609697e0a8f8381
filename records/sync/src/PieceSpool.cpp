#include "lm/teamsync/PieceSpool.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "lm/teamsync/SyncFailure.h"

namespace lm::teamsync {
namespace {

[[noreturn]] void SpoolFailed(const std::filesystem::path& folder) {
  throw SyncFailure(SyncFailureKind::kStore, "the records fetched could not be kept for a moment in " +
                                                 folder.string() + ": " + std::strerror(errno));
}

}  // namespace

PieceSpool::~PieceSpool() {
  if (fd_ >= 0) close(fd_);
}

void PieceSpool::Fill(const VisitRows& rows, const ReadPieces& fetch) {
  for (const auto& layout : TableLayouts()) {
    const auto found = rows.find(layout.table);
    if (layout.streamed < 0 || found == rows.end()) continue;
    for (const Row& row : found->second) {
      if (!StreamedSize(layout, row)) continue;
      const int64_t start = end_;
      fetch(row, [&](std::span<const uint8_t> piece) { Append(piece); });
      spans_[row[0].value_or("")] = {start, end_ - start};
    }
  }
}

void PieceSpool::Append(std::span<const uint8_t> piece) {
  if (fd_ < 0) {
    std::string name = (folder_ / "site-records.sqlite-fetched-XXXXXX").string();
    fd_ = mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) SpoolFailed(folder_);
    unlink(name.c_str());  // gone with the descriptor, whatever ends the sync
  }
  for (size_t done = 0; done < piece.size();) {
    const ssize_t n = pwrite(fd_, piece.data() + done, piece.size() - done, end_ + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) SpoolFailed(folder_);
    done += static_cast<size_t>(n);
  }
  end_ += static_cast<int64_t>(piece.size());
}

void PieceSpool::Pieces(const Row& row, const PieceSink& take) const {
  const auto found = spans_.find(row[0].value_or(""));
  if (found == spans_.end()) return;
  const auto [start, size] = found->second;
  records::Bytes piece;
  for (int64_t at = 0; at < size; at += static_cast<int64_t>(piece.size())) {
    piece.resize(static_cast<size_t>(std::min<int64_t>(kPieceBytes, size - at)));
    for (size_t done = 0; done < piece.size();) {
      const ssize_t n = pread(fd_, piece.data() + done, piece.size() - done, start + at + static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) SpoolFailed(folder_);
      done += static_cast<size_t>(n);
    }
    take(piece);
  }
}

}  // namespace lm::teamsync
