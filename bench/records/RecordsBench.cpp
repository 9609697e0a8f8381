// The site-records store at the size of a busy site: 60 visits of a
// 256-unit site, one site survey each with 20 probes per route (307,200
// probes). Prints the store's size and the times of recording one survey,
// opening the store, listing the visits (the history) and one unit's trend.
// Recording, opening and the import also show the processor time they took,
// steadier than the wall clock on a busy machine.
// Usage: bench-records [folder]   (a scratch folder when none is given)
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "lm/records/RecordStore.h"

namespace {

namespace fs = std::filesystem;
using namespace lm::records;
using Clock = std::chrono::steady_clock;

constexpr int kVisits = 60;
constexpr int kUnits = 256;
constexpr int kProbesPerRoute = 20;
constexpr int64_t kBase = 0x00A00001;
constexpr int64_t kFirstUnit = 0x00B00000;
constexpr int64_t kFirstRepeater = 0x00C00000;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// This process's processor time (user and system), in milliseconds.
double ProcessorMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Timed {
  double wallMs;
  double processorMs;
};

template <class F>
Timed TimeBoth(F&& work) {
  const double cpu = ProcessorMs();
  const auto start = Clock::now();
  work();
  return {Ms(Clock::now() - start), ProcessorMs() - cpu};
}

template <class F>
double Time(F&& work) {
  const auto start = Clock::now();
  work();
  return Ms(Clock::now() - start);
}

// Route r reaches unit r through r % 3 repeaters.
std::vector<HopStats> RouteHops(int r, int visit) {
  std::vector<HopStats> hops;
  const int repeaters = r % 3;
  int64_t from = kBase;
  for (int h = 0; h <= repeaters; ++h) {
    const int64_t to = h < repeaters ? kFirstRepeater + (r + h) % 8 : kFirstUnit + r;
    const double level = -50.0 - (r % 40) - visit * 0.1;
    hops.push_back({r, h, from, to, kProbesPerRoute, kProbesPerRoute - r % 3, level - 3, level, level + 3,
                    3.6 - visit * 0.005});
    from = to;
  }
  return hops;
}

// Records one visit; the time of the site survey, committed route by route
// as the page records it.
Timed RecordVisit(RecordStore& store, int v) {
  const Millis start = 1'700'000'000'000 + v * 86'400'000LL * 7;
  const RowId visit = *store.StartVisit({kBase, "North plant", "VL-BS"}, {start, "Sato", "Acme", ""});
  store.AddRaw(visit, {RawKind::kRegistration, start, kBase, "unit", {}, Bytes(kUnits * 48, 0x11), "{}"});
  const double cpu = ProcessorMs();
  const auto begin = Clock::now();
  const RowId survey =
      *store.BeginSurvey(visit, {SurveyKind::kSite, start + 1000, kProbesPerRoute, "[]", R"({"levelWeak":-80})", std::nullopt, ""});
  std::vector<HopStats> allHops;
  for (int r = 0; r < kUnits; ++r) {
    std::vector<Probe> probes;
    for (int s = 0; s < kProbesPerRoute; ++s) {
      Bytes answer(32, static_cast<uint8_t>(r));
      answer[0] = static_cast<uint8_t>(s);
      probes.push_back({r, s, start + 1000 + r * 400 + s * 20, true, answer});
    }
    if (!store.AddProbes(survey, probes)) std::fprintf(stderr, "probes not recorded\n");
    const auto hops = RouteHops(r, v);
    allHops.insert(allHops.end(), hops.begin(), hops.end());
  }
  store.FinishSurvey(survey, start + 200'000, allHops);
  const Timed taken{Ms(Clock::now() - begin), ProcessorMs() - cpu};
  store.EndVisit(visit, start + 3'600'000);
  return taken;
}

uintmax_t StoreBytes(const fs::path& folder) {
  uintmax_t total = 0;
  for (const char* name : {"site-records.sqlite", "site-records.sqlite-wal"}) {
    std::error_code ec;
    const auto size = fs::file_size(folder / name, ec);
    if (!ec) total += size;
  }
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path folder;
  if (argc > 1) {
    folder = argv[1];
  } else {
    std::string pattern = (fs::temp_directory_path() / "lm-records-bench-XXXXXX").string();
    folder = mkdtemp(pattern.data());
  }
  std::vector<double> surveyMs, surveyCpuMs;
  {
    auto store = std::move(*RecordStore::Open(folder));
    for (int v = 0; v < kVisits; ++v) {
      const Timed t = RecordVisit(*store, v);
      surveyMs.push_back(t.wallMs);
      surveyCpuMs.push_back(t.processorMs);
    }
  }
  std::sort(surveyMs.begin(), surveyMs.end());
  std::sort(surveyCpuMs.begin(), surveyCpuMs.end());
  std::printf("visits %d, units %d, probes %d\n", kVisits, kUnits, kVisits * kUnits * kProbesPerRoute);
  std::printf("store size: %.1f MB\n", StoreBytes(folder) / 1e6);
  std::printf("record one site survey (%d route commits): median %.1f ms, max %.1f ms (processor: median %.1f ms)\n",
              kUnits, surveyMs[surveyMs.size() / 2], surveyMs.back(), surveyCpuMs[surveyCpuMs.size() / 2]);

  std::unique_ptr<RecordStore> store;
  const Timed open = TimeBoth([&] { store = std::move(*RecordStore::Open(folder)); });
  std::printf("open the store (with its quick check): %.1f ms (processor %.1f ms)\n", open.wallMs, open.processorMs);
  Result<std::vector<VisitRow>> visits = std::vector<VisitRow>{};
  const double listMs = Time([&] { visits = store->ListVisits(kBase); });
  std::printf("history, list %zu visits: %.2f ms\n", visits->size(), listMs);
  Result<std::vector<TrendPoint>> trend = std::vector<TrendPoint>{};
  const double trendMs = Time([&] { trend = store->UnitTrend(kBase, kFirstUnit + 200); });
  std::printf("one unit's trend, %zu points: %.2f ms\n", trend->size(), trendMs);
  const double repeaterMs = Time([&] { trend = store->UnitTrend(kBase, kFirstRepeater + 3); });
  std::printf("one repeater's trend, %zu points: %.2f ms\n", trend->size(), repeaterMs);
  const RowId last = (*visits)[0].id;
  Result<VisitRecords> read = VisitRecords{};
  const double visitMs = Time([&] { read = store->ReadVisit(last); });
  std::printf("open one visit, %zu records: %.2f ms\n", read->records.size(), visitMs);
  Result<StoredSurvey> survey = StoredSurvey{};
  const double surveyReadMs = Time([&] { survey = store->ReadSurvey(read->records.back().id); });
  std::printf("read one past survey, %zu probes: %.1f ms\n", survey->probes.size(), surveyReadMs);
  // The same survey committed probe by probe, the finest grain a caller can pick.
  const RowId extra = *store->StartVisit({kBase, "", ""}, {1, "", "", ""});
  const RowId perProbe = *store->BeginSurvey(extra, {SurveyKind::kSite, 2, kProbesPerRoute, "[]", "{}", std::nullopt, ""});
  const double perProbeMs = Time([&] {
    for (int i = 0; i < kUnits * kProbesPerRoute; ++i) {
      const Probe probe{i / kProbesPerRoute, i % kProbesPerRoute, i, true, Bytes(32, 1)};
      store->AddProbes(perProbe, std::span(&probe, 1));
    }
  });
  std::printf("record one site survey probe by probe (%d commits): %.1f ms\n", kUnits * kProbesPerRoute, perProbeMs);
  const double exportMs = Time([&] { store->ExportVisit(last, folder / "visit-export.sqlite"); });
  std::printf("export one visit: %.1f ms\n", exportMs);
  // The whole site exported, then imported into a new store: the file is
  // copied and checked (schema, types, sizes, every content id) before the merge.
  const double exportSiteMs = Time([&] { store->ExportSite(kBase, folder / "site-export.sqlite"); });
  std::printf("export the whole site: %.0f ms\n", exportSiteMs);
  auto target = RecordStore::Open(folder / "imported");
  Result<ImportCounts> counts = ImportCounts{};
  const Timed imported = TimeBoth([&] { counts = (*target)->Import(folder / "site-export.sqlite"); });
  if (!counts) {
    std::printf("import failed: %s\n", counts.error().message.c_str());
  } else {
    std::printf("import the whole site, %d visits, checked then merged: %.0f ms (processor %.0f ms)\n", counts->visits,
                imported.wallMs, imported.processorMs);
  }
  if (argc <= 1) fs::remove_all(folder);
  return 0;
}
