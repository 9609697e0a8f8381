// The monitor's thinning run on a store, for monitor-year.py.
// Usage: bench-monitor-thin schema STORE      an empty store at this version's schema
//        bench-monitor-thin thin STORE NOW     the default retention as of NOW (ms since 1970)
//        bench-monitor-thin trend STORE UNIT   History's trend of a unit (hex), best of three
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "lm/records/Database.h"
#include "lm/records/RecordReader.h"
#include "lm/records/Schema.h"
#include "lm/records/Thinning.h"

int main(int argc, char** argv) {
  using namespace lm::records;
  const std::string what = argc > 2 ? argv[1] : "";
  if (what == "schema") {
    Database db(argv[2]);
    Migrate(db);
    return 0;
  }
  if (what == "trend" && argc == 4) {
    Database db(argv[2], Database::Mode::kReadOnly);
    RecordReader reader(db);
    long long best = -1;
    size_t points = 0;
    for (int i = 0; i < 3; ++i) {
      const auto start = std::chrono::steady_clock::now();
      points = reader.UnitTrend(0x009A0011, std::strtoll(argv[3], nullptr, 16)).size();
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
      if (best < 0 || ms.count() < best) best = ms.count();
    }
    std::printf("trend of unit %s: %lld ms (%zu points)\n", argv[3], best, points);
    return 0;
  }
  if (what != "thin" || argc != 4) {
    std::fprintf(stderr, "usage: bench-monitor-thin schema STORE | thin STORE NOW | trend STORE UNIT\n");
    return 2;
  }
  Database db(argv[2]);
  const auto start = std::chrono::steady_clock::now();
  const ThinningCounts done =
      ThinVisits(db, RetentionPolicy{}, {0x009A0011, "monitor", "monitor-009A0011", true}, std::atoll(argv[3]));
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  std::printf("thinned %d visits (%lld probes, %lld hop rows) in %lld ms\n", done.visits,
              static_cast<long long>(done.probes), static_cast<long long>(done.hops), static_cast<long long>(ms.count()));
  return 0;
}
