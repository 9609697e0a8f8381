// Team records at the size of a busy site: the bench-records store (60
// visits of a 256-unit site, 20 probes per route, 307,200 probes) sent to an
// empty team server, fetched from it into an empty store, and a sync with
// nothing new; first, a site map of large plans (three 40 MiB photos and
// 1,000 map edits in one visit) sent and fetched, with how far each of the
// two raised the process's memory above what it held before it (its peak
// resident set, reset before each). The server is a PostgreSQL 15 started in
// a scratch folder.
// Usage: bench-teamsync FOLDER   (FOLDER holds bench-records' store: run
//                                 `bench-records FOLDER` first)
//        bench-teamsync --plans  (the site map of large plans only)
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "../../tests/records/sync/PgServer.h"
#include "lm/records/ContentId.h"
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

long PeakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// A field of /proc/self/status in KiB (VmRSS: resident now; VmHWM: the peak
// since the last ResetPeak).
long StatusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string name;
  long kib = 0;
  while (status >> name) {
    if (name == field + ":" && status >> kib) return kib;
    status.ignore(4096, '\n');
  }
  throw std::runtime_error("no " + field + " in /proc/self/status");
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// A sync with how far it raised the process's peak memory above what it held before.
void Measured(const char* what, const fs::path& store, const std::string& server) {
  ResetPeak();
  const long before = StatusKiB("VmRSS");
  Timed(what, store, server);
  const long peak = StatusKiB("VmHWM");
  std::printf("    memory: %.1f MiB before, peak %.1f MiB: %.1f MiB above\n", before / 1024.0, peak / 1024.0,
              (peak - before) / 1024.0);
}

fs::path ScratchStore() {
  std::string pattern = (fs::temp_directory_path() / "lm-teamsync-bench-XXXXXX").string();
  const fs::path folder = mkdtemp(pattern.data());
  if (!lm::records::RecordStore::Open(folder)) throw std::runtime_error("no store in " + folder.string());
  return folder;
}

constexpr int kPhotoBytes = 40 << 20;

// Three photos that do not compress, and edits placing 250 units four times.
void RecordLargePlans(const fs::path& folder) {
  namespace rec = lm::records;
  auto store = rec::RecordStore::Open(folder);
  const rec::RowId visit = *(*store)->StartVisit({0x00A00002, "Yard", "VL-BS"}, {1'766'000'000'000, "", "", ""});
  uint32_t x = 2463534242u;
  for (int p = 0; p < 3; ++p) {
    rec::RawRecord plan{rec::RawKind::kPlan, 1'766'000'000'100 + p, std::nullopt, "file", {}, {}, ""};
    plan.raw.resize(kPhotoBytes);
    for (auto& b : plan.raw) x ^= x << 13, x ^= x >> 17, x ^= x << 5, b = static_cast<uint8_t>(x);
    plan.decodedJson = R"({"name":"Photo","format":"png","width":8000,"height":6000,"sha256":")" +
                       rec::Sha256Hex(plan.raw) + "\"}";
    (*store)->AddRaw(visit, plan);
  }
  for (int i = 0; i < 1000; ++i) {
    (*store)->AddRaw(visit, {rec::RawKind::kMapEdit, 1'766'000'001'000 + i, std::nullopt, "", {}, {},
                             R"({"action":"place","serial":")" + std::to_string(i % 250) + R"(","x":)" +
                                 std::to_string(i) + R"(,"y":5})"});
  }
}

void LargePlans(test::PgServer& pg) {
  PgConnection(pg.Uri("postgres")).Exec("CREATE DATABASE plans");
  PgConnection owner(pg.Uri("plans"));
  ServerSchema::Init(owner);
  const fs::path made = ScratchStore(), pulled = ScratchStore();
  RecordLargePlans(made);
  std::printf("site map of 3 plans of 40 MiB and 1,000 edits (largest photo %d MiB; process peak %ld MiB before)\n",
              kPhotoBytes >> 20, PeakMiB());
  Measured("  sent to an empty server", made / "site-records.sqlite", pg.Uri("plans"));
  Measured("  fetched into an empty store", pulled / "site-records.sqlite", pg.Uri("plans"));
  std::printf("  peak memory of the process: %ld MiB\n", PeakMiB());
  fs::remove_all(made);
  fs::remove_all(pulled);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--plans") {
    test::PgServer pg;
    LargePlans(pg);
    return 0;
  }
  if (argc != 2 || !fs::exists(fs::path(argv[1]) / "site-records.sqlite")) {
    std::fprintf(stderr, "usage: bench-teamsync FOLDER (with bench-records' store in it) | --plans\n");
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
  LargePlans(pg);
  const std::string server = pg.Uri("team");
  Timed("full sync, store to an empty server", full / "site-records.sqlite", server);
  const fs::path empty = ScratchStore();
  Timed("full sync, server to an empty store", empty / "site-records.sqlite", server);
  Timed("unchanged sync (the full store)", full / "site-records.sqlite", server);
  Timed("unchanged sync (the fetched store)", empty / "site-records.sqlite", server);
  fs::remove_all(empty);
  return 0;
}
