#pragma once
// The monitor's sync with the team server, on a thread of its own: a round
// asks for its site to be synced and goes on at once. Each try runs with
// the session limits (a statement or lock the server holds too long is
// cancelled by the server, a silent link is found by keepalives); a try
// that fails is logged with its reason and tried again after a back-off,
// doubling up to a ceiling. A stop waits a moment for a try under way and
// then leaves it: what it committed on either side stays (a visit per
// transaction), and the next start goes on from there.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <string>
#include <thread>

#include "lm/teamsync/PgConnection.h"

namespace lm::monitor {

struct SyncSettings {
  std::string server;  // as libpq takes it: a service name, a URI or key=value settings
  std::chrono::milliseconds statementTimeout{std::chrono::seconds(60)};
  std::chrono::milliseconds lockTimeout{std::chrono::seconds(10)};
  bool acceptUnverifiedTls = false;  // sync_tls = accept-unverified
  std::chrono::milliseconds firstRetry{std::chrono::seconds(5)};
  std::chrono::milliseconds retryCeiling{std::chrono::minutes(10)};
};

// The libpq session limits of the settings.
lm::teamsync::PgSessionLimits SessionLimits(const SyncSettings& settings);

struct SyncTotals {
  int done = 0;    // tries that finished
  int failed = 0;  // tries given up, each logged
};

class TeamSyncWorker {
 public:
  // `log` takes one line per failed try and per sync that moved visits.
  TeamSyncWorker(SyncSettings settings, std::filesystem::path storeFile, std::ostream& log);
  ~TeamSyncWorker();
  TeamSyncWorker(const TeamSyncWorker&) = delete;
  TeamSyncWorker& operator=(const TeamSyncWorker&) = delete;

  // Asks for `siteSerial` to be synced; never waits.
  void Request(int64_t siteSerial);
  // Ends the thread: a try under way gets `grace` to finish, then is left
  // to end with the process. Answers whether one was left.
  bool Stop(std::chrono::milliseconds grace);
  SyncTotals Totals() const;

  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace lm::monitor
