// Team records at the size of a busy site: the bench-records store (60
// visits of a 256-unit site, 20 probes per route, 307,200 probes) sent to an
// empty team server, fetched from it into an empty store, and a sync with
// nothing new. The server is a PostgreSQL 15 started in a scratch folder.
// Usage: bench-teamsync FOLDER   (FOLDER holds bench-records' store: run
// `bench-records FOLDER` first)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "../../tests/teamsync/PgServer.h"
#include "lm/records/RecordStore.h"
#include "lm/teamsync/PgConnection.h"
#include "lm/teamsync/ServerSchema.h"
#include "lm/teamsync/TeamSync.h"

namespace {

namespace fs = std::filesystem;
using namespace lm::teamsync;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

SyncCounts Timed(const char* what, const fs::path& store, const std::string& server) {
  const auto start = Clock::now();
  const SyncCounts c = TeamSync(store, server).Run(std::nullopt);
  std::printf("%s: %.2f s (%d visits sent, %d fetched; %lld rows sent, %lld fetched)\n", what,
              Seconds(Clock::now() - start), c.pushedVisits, c.pulledVisits, static_cast<long long>(c.pushedRows),
              static_cast<long long>(c.pulledRows));
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || !fs::exists(fs::path(argv[1]) / "site-records.sqlite")) {
    std::fprintf(stderr, "usage: bench-teamsync FOLDER (with bench-records' store in it)\n");
    return 2;
  }
  const fs::path full = argv[1];
  if (!lm::records::RecordStore::Open(full)) return 1;  // brought to this version's schema
  test::PgServer pg;
  {
    PgConnection admin(pg.Uri("postgres"));
    admin.Exec("CREATE DATABASE team");
  }
  PgConnection owner(pg.Uri("team"));
  ServerSchema::Init(owner);
  const std::string server = pg.Uri("team");
  Timed("full sync, store to an empty server", full / "site-records.sqlite", server);
  std::string pattern = (fs::temp_directory_path() / "lm-teamsync-bench-XXXXXX").string();
  const fs::path empty = mkdtemp(pattern.data());
  if (!lm::records::RecordStore::Open(empty)) return 1;
  Timed("full sync, server to an empty store", empty / "site-records.sqlite", server);
  Timed("unchanged sync (the full store)", full / "site-records.sqlite", server);
  Timed("unchanged sync (the fetched store)", empty / "site-records.sqlite", server);
  fs::remove_all(empty);
  return 0;
}
