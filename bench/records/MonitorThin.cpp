// The monitor's thinning run on a store, for monitor-year.py.
// Usage: bench-monitor-thin schema STORE      an empty store at this version's schema
//        bench-monitor-thin thin STORE NOW     the default retention as of NOW (ms since 1970)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "lm/records/Database.h"
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
  if (what != "thin" || argc != 4) {
    std::fprintf(stderr, "usage: bench-monitor-thin schema STORE | thin STORE NOW\n");
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
