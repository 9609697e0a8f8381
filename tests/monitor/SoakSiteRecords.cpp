#include "SoakSiteRecords.h"

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace lm::monitor::test {
namespace {

namespace rec = lm::records;

constexpr int kRepeaters = 16, kBehind = 15, kProbes = 5;
constexpr int64_t kBase = 0x009A0011;

int64_t Repeater(int r) { return 0x00C80000 + r; }
int64_t Remote(int unit) { return 0x00BC0000 + unit; }

template <class T>
T Take(rec::Result<T> r) {
  if (!r) throw std::runtime_error(r.error().message);
  return std::move(*r);
}

rec::Millis MillisOf(std::chrono::system_clock::time_point at) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
}

// Route r: the repeater alone for r < 16, else a unit behind its repeater.
std::vector<int64_t> RouteUnits(int route) {
  if (route < kRepeaters) return {Repeater(route)};
  const int unit = route - kRepeaters;
  return {Repeater(unit / kBehind), Remote(unit)};
}

std::string RoutesJson() {
  std::string json = "[";
  for (int route = 0; route < kRepeaters * (kBehind + 1); ++route) {
    json += route ? ",[" : "[";
    const auto units = RouteUnits(route);
    for (size_t i = 0; i < units.size(); ++i) json += (i ? "," : "") + std::to_string(units[i]);
    json += "]";
  }
  return json + "]";
}

void RecordSurvey(rec::RecordStore& store, rec::RowId visit, const std::string& routes, int round, rec::Millis at) {
  const rec::RowId survey = Take(store.BeginSurvey(
      visit, {rec::SurveyKind::kSite, at, kProbes, routes, R"({"level":{"weak":80},"battery":{"ok":20}})", {}, ""}));
  std::vector<rec::Probe> probes;
  std::vector<rec::HopStats> hops;
  for (int route = 0; route < kRepeaters * (kBehind + 1); ++route) {
    const auto units = RouteUnits(route);
    const int level = 100 + (round * 7 + route * 13) % 60;
    for (int seq = 0; seq < kProbes; ++seq) {
      rec::Bytes raw;
      for (size_t h = 0; h < units.size(); ++h) raw.insert(raw.end(), {uint8_t(h + 1), uint8_t(level + seq), 90});
      probes.push_back({route, seq, at + route * 50 + seq * 10, (round + route + seq) % 17 != 0, raw});
    }
    int64_t from = kBase;
    for (size_t h = 0; h < units.size(); ++h) {
      hops.push_back({route, static_cast<int>(h), from, units[h], kProbes, kProbes - (round + route) % 2,
                      level - 4.0, level + 0.4, level + 3.0, 90});
      from = units[h];
    }
  }
  Take(store.AddProbes(survey, probes));
  Take(store.FinishSurvey(survey, at + 60'000, hops));
}

double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

SoakSiteRecords::SoakSiteRecords(const std::filesystem::path& folder)
    : store_(Take(rec::RecordStore::Open(folder))), routesJson_(RoutesJson()) {}

void SoakSiteRecords::Round(int round, std::chrono::system_clock::time_point at) {
  const rec::Millis ms = MillisOf(at);
  if (ms / 86'400'000 != day_) {
    // Each step kept before the next, so a failed write is tried again
    // the next round from where it stopped.
    if (visit_) Take(store_->EndVisit(visit_, ms));
    visit_ = 0;
    visit_ = Take(store_->StartVisit({kSite, "Soak site", "LM-B"}, {ms, "monitor", "", "the rounds of one day"}));
    day_ = ms / 86'400'000;
    ++visits_;
  }
  RecordSurvey(*store_, visit_, routesJson_, round, ms);
}

std::string SoakSiteRecords::TimedHistory() {
  char text[256];
  auto start = std::chrono::steady_clock::now();
  Take(store_->ListSites());
  const double sites = MsSince(start);
  start = std::chrono::steady_clock::now();
  const auto visits = Take(store_->ListVisits(kSite));
  const double list = MsSince(start);
  start = std::chrono::steady_clock::now();
  Take(store_->ReadVisit(visits.front().id));
  const double newest = MsSince(start);
  start = std::chrono::steady_clock::now();
  Take(store_->ReadVisit(visits.back().id));
  const double oldest = MsSince(start);
  start = std::chrono::steady_clock::now();
  const auto trend = Take(store_->UnitTrend(kSite, Remote(100)));
  const double unit = MsSince(start);
  std::snprintf(text, sizeof text,
                "sites %.1f ms, %zu visits %.1f ms, newest visit's records %.1f ms, oldest %.1f ms, "
                "a unit's trend (%zu points) %.1f ms",
                sites, visits.size(), list, newest, oldest, trend.size(), unit);
  return text;
}

}  // namespace lm::monitor::test
