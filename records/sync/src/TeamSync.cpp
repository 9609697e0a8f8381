#include "lm/teamsync/TeamSync.h"

#include <exception>

#include "lm/records/SqlError.h"
#include "lm/records/StoreResult.h"
#include "lm/teamsync/LocalSide.h"
#include "lm/teamsync/PieceSpool.h"
#include "lm/teamsync/ServerSide.h"
#include "lm/teamsync/SyncFailure.h"

namespace lm::teamsync {
namespace {

int64_t RowCount(const VisitRows& rows) {
  int64_t n = 0;
  for (const auto& [table, r] : rows) n += static_cast<int64_t>(r.size());
  return n;
}

// A failure of the local store as a SyncFailure.
template <class F>
auto Locally(F&& work) -> decltype(work()) {
  try {
    return work();
  } catch (const records::SqlError& e) {
    throw SyncFailure(SyncFailureKind::kStore, std::string("the site records failed: ") + e.what());
  } catch (const records::StoreFailure& f) {
    throw SyncFailure(SyncFailureKind::kStore, f.error.message);
  }
}

// A pulled row the store will not take (a constraint of its schema) is the
// server's fault, not the store's: that visit is set aside like an
// unverified one.
template <class F>
auto KeepingPulled(F&& work) -> decltype(work()) {
  try {
    return work();
  } catch (const records::SqlError& e) {
    if (e.Code() != 19) throw;  // SQLITE_CONSTRAINT
    throw SyncFailure(SyncFailureKind::kUnverified,
                      std::string("the team server sent a row this computer's records cannot hold: ") + e.what());
  }
}

// One sync: both inventories read once, then each visit that differs moved
// as one batch each way; a visit that cannot be moved is set aside.
class SyncRun {
 public:
  // Streamed values fetched are kept for a moment in `folder` (PieceSpool).
  SyncRun(LocalSide& local, ServerSide& server, std::filesystem::path folder, std::optional<int64_t> siteSerial,
          const TeamSync::Progress& progress)
      : local_(local), server_(server), folder_(std::move(folder)), progress_(progress) {
    counts_.user = server_.User();
    mine_ = Locally([&] { return local_.Items(siteSerial); });
    theirs_ = server_.Items(siteSerial);
    senders_ = server_.Senders(siteSerial);
    marks_ = Locally([&] { return local_.Marks(siteSerial); });
    for (const auto& [visit, items] : mine_) visits_.push_back(visit);
    for (const auto& [visit, items] : theirs_) {
      if (!mine_.count(visit)) visits_.push_back(visit);
    }
    counts_.visits = static_cast<int>(visits_.size());
    for (const auto& visit : visits_) step_.total += Of(mine_, visit) != Of(theirs_, visit);
  }

  SyncCounts Run() {
    for (const auto& visit : visits_) {
      try {
        Visit(visit);
      } catch (const SyncFailure& f) {
        if (f.kind() != SyncFailureKind::kUnverified && f.kind() != SyncFailureKind::kRefused) throw;
        counts_.setAside.push_back({visit, f.what(), f.row()});
        ++step_.done;
        if (progress_) progress_(step_);
      }
    }
    return counts_;
  }

 private:
  static const VisitItems& Of(const Inventory& side, const std::string& visit) {
    static const VisitItems kNone;
    const auto found = side.find(visit);
    return found == side.end() ? kNone : found->second;
  }

  void Visit(const std::string& visit) {
    const VisitItems& here = Of(mine_, visit);
    const VisitItems& there = Of(theirs_, visit);
    auto toPush = ItemsAhead(here, there);
    const auto toPull = ItemsAhead(there, here);
    std::erase_if(toPush, [](const std::string& item) { return item.ends_with(":receipt"); });  // the server's to give
    const bool moves = !toPush.empty() || !toPull.empty();
    step_.visit = visit;
    if (moves && progress_) progress_(step_);
    if (!toPush.empty()) {
      const VisitRows rows = Locally([&] { return local_.RowsFor(visit, toPush); });
      server_.Push(rows, [&](const Row& row, const PieceSink& take) { Locally([&] { local_.Pieces(row, take); }); });
      counts_.pushedRows += RowCount(rows);
      ++counts_.pushedVisits;
    }
    const VisitRows pulled = Pull(toPush, toPull);
    PieceSpool spool(folder_);
    spool.Fill(pulled, [&](const Row& row, const PieceSink& take) { server_.Pieces(row, take); });
    VisitItems expected = Union(here, there);
    if (const auto receipts = pulled.find("map_edit_receipts"); receipts != pulled.end()) {
      for (const auto& row : receipts->second) expected[row[0].value_or("") + ":receipt"] = 1;
    }
    const auto sender = senders_.find(visit);
    const std::optional<std::string> sentBy = sender != senders_.end() ? std::optional(sender->second)
                                              : toPush.empty()        ? std::nullopt
                                                                      : std::optional(counts_.user);
    const ReadPieces spooled = [&](const Row& row, const PieceSink& take) { spool.Pieces(row, take); };
    const auto mark = marks_.find(visit);
    const bool settled = !moves && mark != marks_.end() && mark->second.synced && mark->second.sentBy == sentBy;
    if (!settled) {
      const auto refused =
          Locally([&] { return KeepingPulled([&] { return local_.Write(visit, pulled, expected, sentBy, spooled); }); });
      counts_.refused.insert(counts_.refused.end(), refused.begin(), refused.end());
    }
    if (!moves) return;
    ++step_.done;
    if (progress_) progress_(step_);
  }

  // What the store lacks, and what was just sent back with the server's receipts.
  VisitRows Pull(const std::set<std::string>& pushed, const std::set<std::string>& toPull) {
    std::set<std::string> fetch = toPull;
    for (const auto& item : pushed) {
      if (item.find(':') == std::string::npos) fetch.insert(item + ":receipt");
    }
    if (fetch.empty()) return {};
    VisitRows pulled = server_.Fetch(fetch);
    counts_.pulledRows += RowCount(pulled);
    counts_.pulledVisits += !toPull.empty();
    return pulled;
  }

  LocalSide& local_;
  ServerSide& server_;
  std::filesystem::path folder_;
  const TeamSync::Progress& progress_;
  Inventory mine_, theirs_;
  std::map<std::string, std::string> senders_;
  std::map<std::string, LocalSide::Mark> marks_;
  std::vector<std::string> visits_;
  SyncProgress step_;
  SyncCounts counts_;
};

}  // namespace

TeamSync::TeamSync(std::filesystem::path storeFile, std::string server, PgSessionLimits limits)
    : storeFile_(std::move(storeFile)), server_(std::move(server)), limits_(limits) {}

SyncCounts TeamSync::Run(std::optional<int64_t> siteSerial, const Progress& progress) {
  PgConnection conn(server_, limits_);  // first: a server that cannot be reached leaves the store unopened
  ServerSide server(conn);
  auto local = Locally([&] { return std::make_unique<LocalSide>(storeFile_); });
  return SyncRun(*local, server, storeFile_.parent_path(), siteSerial, progress).Run();
}

}  // namespace lm::teamsync
