#include "lm/teamsync/TeamSync.h"

#include <exception>

#include "lm/records/SqlError.h"
#include "lm/records/StoreResult.h"
#include "lm/teamsync/LocalSide.h"
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

}  // namespace

TeamSync::TeamSync(std::filesystem::path storeFile, std::string server)
    : storeFile_(std::move(storeFile)), server_(std::move(server)) {}

SyncCounts TeamSync::Run(std::optional<int64_t> siteSerial, const Progress& progress) {
  PgConnection conn(server_);
  ServerSide server(conn);
  auto local = Locally([&] { return std::make_unique<LocalSide>(storeFile_); });
  SyncCounts counts;
  counts.user = server.User();
  const Inventory mine = Locally([&] { return local->Items(siteSerial); });
  const Inventory theirs = server.Items(siteSerial);
  const auto senders = server.Senders(siteSerial);
  static const VisitItems kNone;
  std::vector<std::string> visits;
  for (const auto& [visit, items] : mine) visits.push_back(visit);
  for (const auto& [visit, items] : theirs) {
    if (!mine.count(visit)) visits.push_back(visit);
  }
  counts.visits = static_cast<int>(visits.size());
  SyncProgress step;
  for (const auto& visit : visits) {
    const auto m = mine.find(visit), t = theirs.find(visit);
    if ((m == mine.end() ? kNone : m->second) != (t == theirs.end() ? kNone : t->second)) ++step.total;
  }
  const auto marks = Locally([&] { return local->Marks(siteSerial); });
  for (const auto& visit : visits) {
    const auto m = mine.find(visit), t = theirs.find(visit);
    const VisitItems& here = m == mine.end() ? kNone : m->second;
    const VisitItems& there = t == theirs.end() ? kNone : t->second;
    const auto toPush = ItemsAhead(here, there);
    const auto toPull = ItemsAhead(there, here);
    if (!toPush.empty() || !toPull.empty()) {
      step.visit = visit;
      if (progress) progress(step);
    }
    if (!toPush.empty()) {
      const VisitRows rows = Locally([&] { return local->RowsFor(visit, toPush); });
      server.Push(rows);
      counts.pushedRows += RowCount(rows);
      ++counts.pushedVisits;
    }
    VisitRows pulled;
    if (!toPull.empty()) {
      pulled = server.Fetch(toPull);
      counts.pulledRows += RowCount(pulled);
      ++counts.pulledVisits;
    }
    const auto sender = senders.find(visit);
    const std::optional<std::string> sentBy =
        sender != senders.end() ? std::optional(sender->second)
                                : (toPush.empty() ? std::nullopt : std::optional(counts.user));
    const auto mark = marks.find(visit);
    const bool settled = toPush.empty() && toPull.empty() && mark != marks.end() && mark->second.synced &&
                         mark->second.sentBy == sentBy;
    if (!settled) Locally([&] { local->Write(visit, pulled, Union(here, there), sentBy); });
    if (!toPush.empty() || !toPull.empty()) {
      ++step.done;
      if (progress) progress(step);
    }
  }
  return counts;
}

}  // namespace lm::teamsync
