// The visits the monitor records in, on a clock the test drives: one of its
// own per run and local day, the day turning at midnight, never a visit a
// technician keeps open, and never joined by a technician's run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>

#include "linkmeter/cli/VisitJoining.h"

using linkmeter::cli::VisitJoining;
namespace rec = lm::records;

namespace {

constexpr int64_t kSerial = 0x009A0011;

// 23:59:00 local time of some day, in ms.
int64_t BeforeMidnight() {
  std::time_t t = 1'780'000'000;
  std::tm local{};
  localtime_r(&t, &local);
  local.tm_hour = 23;
  local.tm_min = 59;
  local.tm_sec = 0;
  local.tm_isdst = -1;
  return static_cast<int64_t>(std::mktime(&local)) * 1000;
}

class MonitorVisits : public ::testing::Test {
 protected:
  MonitorVisits() : store_(std::move(*rec::RecordStore::Open(dir_))), joining_([this] { return now_; }) {}
  ~MonitorVisits() override { std::filesystem::remove_all(dir_); }

  int64_t Begin() {
    const lm::json::Value arg = lm::json::MakeObject(
        {{"site", lm::json::MakeObject({{"serial", lm::json::Number(kSerial)}, {"name", lm::json::String("Tank farm")}})}});
    const lm::json::Value answer = joining_.Begin(*store_, Sorrel::cef::ArgReader(arg));
    return static_cast<int64_t>(lm::json::Member(answer, "id").get<double>());
  }
  void End(int64_t visit) {
    const lm::json::Value arg = lm::json::MakeObject({{"visitId", lm::json::Number(visit)}});
    joining_.End(*store_, Sorrel::cef::ArgReader(arg));
  }
  rec::VisitRow Row(int64_t visit) {
    const auto visits = store_->ListVisits(kSerial);
    if (!visits) throw std::runtime_error(visits.error().message);
    for (const auto& v : *visits) {
      if (v.id == visit) return v;
    }
    throw std::runtime_error("no visit " + std::to_string(visit) + " of " + std::to_string(visits->size()));
  }

  std::filesystem::path dir_ = std::filesystem::temp_directory_path() /
                               ("lm-visits-" + std::to_string(getpid()) + "-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
  std::unique_ptr<rec::RecordStore> store_;
  int64_t now_ = BeforeMidnight();
  VisitJoining joining_;
};

TEST_F(MonitorVisits, OneVisitPerDayAcrossMidnightNeverATechniciansOpenOne) {
  // A technician's visit the window keeps open.
  const rec::RowId technicians = *store_->StartVisit({kSerial, "Tank farm", ""}, {now_ - 60'000, "Alice", "", ""});
  joining_.StartRun(VisitJoining::Mode::kMonitor);
  const int64_t first = Begin();
  EXPECT_NE(first, technicians);
  End(first);  // a round's end leaves the day's visit open
  now_ += 50'000;
  EXPECT_EQ(Begin(), first);  // 23:59:50: the same day, the same visit
  EXPECT_FALSE(Row(first).endedAt);
  now_ += 20'000;  // 00:00:10
  const int64_t second = Begin();
  EXPECT_NE(second, first);
  EXPECT_EQ(Row(first).endedAt, now_);  // yesterday's visit ended as the day turned
  EXPECT_EQ(Row(second).info.technician, linkmeter::cli::kMonitorTechnician);
  EXPECT_FALSE(Row(technicians).endedAt);  // the technician's visit is theirs to end

  // A technician's run meanwhile joins the technician's visit, never the monitor's.
  VisitJoining technicianRun([this] { return now_; });
  technicianRun.StartRun(VisitJoining::Mode::kJoinOpen);
  const lm::json::Value arg = lm::json::MakeObject({{"site", lm::json::MakeObject({{"serial", lm::json::Number(kSerial)}})}});
  EXPECT_EQ(lm::json::Member(technicianRun.Begin(*store_, Sorrel::cef::ArgReader(arg)), "id").get<double>(), technicians);

  // The run ends: its visit of the day ends with it.
  EXPECT_EQ(joining_.CloseMonitorVisits(), std::vector<int64_t>{second});
  End(second);
  EXPECT_TRUE(Row(second).endedAt);
}

}  // namespace
