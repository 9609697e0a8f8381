#pragma once
// The site records a monitor round leaves, written as the page's recorder
// writes them for a 256-unit site (16 repeaters, 15 units behind each): a
// visit of the monitor's per day, ended when the day turns; per round a site
// survey with its routes, 5 probes per route (3 bytes per hop each) and the
// hop statistics of every route. History's queries are timed on it.

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "lm/records/RecordStore.h"

namespace lm::monitor::test {

class SoakSiteRecords {
 public:
  static constexpr int64_t kSite = 0x009A0011;
  explicit SoakSiteRecords(const std::filesystem::path& folder);

  void Round(int round, std::chrono::system_clock::time_point at);
  // History's reads (the sites, the site's visits, the newest and the
  // oldest visit's records, a unit's trend), each timed: "sites 1.2 ms, …".
  std::string TimedHistory();
  int Visits() const { return visits_; }

 private:
  std::unique_ptr<lm::records::RecordStore> store_;
  std::string routesJson_;
  lm::records::RowId visit_ = 0;
  int64_t day_ = -1;
  int visits_ = 0;
};

}  // namespace lm::monitor::test
