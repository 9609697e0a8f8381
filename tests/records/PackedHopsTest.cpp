// Hop statistics packed once a monitor visit's probes are gone: History's
// trend and a survey read back exactly what the rows held, wherever the
// boundary falls, and the thinning record says what was packed.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "RecordsTestSupport.h"
#include "lm/Json.h"
#include "lm/records/Database.h"
#include "lm/records/SqlError.h"
#include "lm/records/StoreCompaction.h"
#include "lm/records/Thinning.h"

namespace lm::records::packed {
namespace {

using test::kSiteSerial;

constexpr Millis kDay = 86'400'000;
constexpr Millis kNow = 1'800'000'000'000;
const RetentionPolicy kPolicy{std::chrono::hours(30 * 24), std::chrono::hours(365 * 24)};
constexpr int64_t kRepeater = 0x00C80001;

// Values the packing must keep to the bit: tenths, other reals, nulls,
// negatives and zero of either sign, extremes.
std::vector<HopStats> Hops(int round) {
  const double odd = 0.1 + 0.2;
  const std::optional<double> none;
  return {
      {0, 0, kSiteSerial, kRepeater, 5, 5, -61.5, -60.0 + round, -58.2, 3.1},
      {0, 1, kRepeater, 0x00B00010, 5, 4 - round % 2, odd, -0.0, 1e300, none},
      {1, 0, kSiteSerial, kRepeater, 0, 0, none, none, none, none},
      {1, 1, kRepeater, 0x00B00011, 65535, 0, std::numeric_limits<double>::denorm_min(), -1234567.8,
       std::numeric_limits<double>::max(), 0.0},
      {2, 0, kSiteSerial, 0x7FFFFFFF, 3, 3, -80.0 - round / 3.0, -79.9, -79.8, 100.0},
  };
}

class RecordsPackedHops : public ::testing::Test {
 protected:
  RecordsPackedHops() : store_(test::OpenStore(dir_.path())), db_(store_->report().path) {}

  // A monitor day visit with rounds at each of `rounds` (offsets from `day`).
  RowId Visit(Millis day, const std::vector<Millis>& rounds, Millis endsAt) {
    const RowId visit = *store_->StartVisit({kSiteSerial, "Tank farm", "LM-B"}, {day, "monitor", "", ""});
    int n = 0;
    for (const Millis at : rounds) {
      SurveyInfo info = test::SampleSurvey(day + at);
      if (n % 2) info.routesJson = R"([[13107201],[13107201,11534352],[2147483647]])";
      const RowId survey = *store_->BeginSurvey(visit, info);
      store_->AddProbes(survey, test::SampleProbes(3, 2, day + at + 1));
      store_->FinishSurvey(survey, day + at + 100, Hops(n++));
    }
    store_->EndVisit(visit, endsAt);
    return visit;
  }
  ThinningCounts Thin(Millis now) {
    return ThinVisits(db_, kPolicy, {kSiteSerial, "monitor", "monitor-00A00001", true}, now);
  }
  struct Seen {
    std::vector<std::vector<TrendPoint>> trends;
    std::vector<StoredSurvey> surveys;
  };
  Seen Read() { return Read(*store_, db_); }
  static Seen Read(RecordStore& store, Database& db) {
    Seen seen;
    for (const int64_t unit : {kRepeater, int64_t{0x00B00010}, int64_t{0x00B00011}, int64_t{0x7FFFFFFF}}) {
      seen.trends.push_back(*store.UnitTrend(kSiteSerial, unit));
    }
    auto st = db.Prepare("SELECT id FROM surveys ORDER BY id");
    while (st.Step()) seen.surveys.push_back(*store.ReadSurvey(st.Int(0)));
    for (auto& s : seen.surveys) s.probes.clear();  // the thinning's own business
    return seen;
  }
  static void ExpectSame(const Seen& a, const Seen& b) {
    ASSERT_EQ(a.trends.size(), b.trends.size());
    for (size_t t = 0; t < a.trends.size(); ++t) {
      ASSERT_EQ(a.trends[t].size(), b.trends[t].size()) << t;
      for (size_t i = 0; i < a.trends[t].size(); ++i) {
        const TrendPoint &x = a.trends[t][i], &y = b.trends[t][i];
        EXPECT_EQ(std::tie(x.visitId, x.visitStartedAt, x.surveyId, x.surveyStartedAt, x.sent, x.answered),
                  std::tie(y.visitId, y.visitStartedAt, y.surveyId, y.surveyStartedAt, y.sent, y.answered));
        EXPECT_TRUE(SameBits(x.levelMin, y.levelMin) && SameBits(x.levelAvg, y.levelAvg) &&
                    SameBits(x.battery, y.battery)) << t << "/" << i;
      }
    }
    ASSERT_EQ(a.surveys.size(), b.surveys.size());
    for (size_t s = 0; s < a.surveys.size(); ++s) {
      EXPECT_EQ(a.surveys[s].info.routesJson, b.surveys[s].info.routesJson);
      ASSERT_EQ(a.surveys[s].hops.size(), b.surveys[s].hops.size());
      for (size_t i = 0; i < a.surveys[s].hops.size(); ++i) {
        const HopStats &x = a.surveys[s].hops[i], &y = b.surveys[s].hops[i];
        EXPECT_EQ(std::tie(x.route, x.hop, x.fromUnit, x.unit, x.sent, x.answered),
                  std::tie(y.route, y.hop, y.fromUnit, y.unit, y.sent, y.answered));
        EXPECT_TRUE(SameBits(x.levelMin, y.levelMin) && SameBits(x.levelAvg, y.levelAvg) &&
                    SameBits(x.levelMax, y.levelMax) && SameBits(x.battery, y.battery)) << s << "/" << i;
      }
    }
  }
  static bool SameBits(const std::optional<double>& a, const std::optional<double>& b) {
    return a.has_value() == b.has_value() && (!a || std::bit_cast<uint64_t>(*a) == std::bit_cast<uint64_t>(*b));
  }
  int64_t Count(const std::string& sql) { return db_.QueryInt(sql); }
  json::Value LastThinning() {
    auto st = db_.Prepare("SELECT decoded_json FROM thinnings ORDER BY id DESC LIMIT 1");
    EXPECT_TRUE(st.Step());
    return *json::Parse(st.Text(0));
  }

  test::ScratchDir dir_;
  std::unique_ptr<RecordStore> store_;
  Database db_;
};

TEST_F(RecordsPackedHops, PackedOnlyOnceTheWholeVisitIsPastTheProbesTime) {
  struct Case {
    Millis endedAgo;
    bool packed;
  } cases[] = {{30 * kDay, false}, {30 * kDay + 1, true}};
  for (const Case& c : cases) {
    const Millis day = kNow - c.endedAgo - kDay;
    const RowId visit = Visit(day, {10, 600'000, 1'200'000}, kNow - c.endedAgo);
    const Seen before = Read();
    Thin(kNow);
    const std::string of = " WHERE visit_id = " + std::to_string(visit);
    EXPECT_EQ(Count("SELECT count(*) FROM packed_hops" + of) > 0, c.packed) << c.endedAgo;
    EXPECT_EQ(Count("SELECT count(*) FROM hop_stats h JOIN surveys su ON su.id = h.survey_id" + of) == 0, c.packed);
    ExpectSame(before, Read());
  }
}

TEST_F(RecordsPackedHops, RecordSaysWhatWasPackedAndRoutesAreKeptOnce) {
  const Millis day = kNow - 40 * kDay;
  const RowId visit = Visit(day, {10, 600'000, 1'200'000, 1'800'000}, day + kDay);
  Thin(kNow);
  EXPECT_EQ(Thin(kNow).visits, 0);  // nothing left to pack: no second record
  const json::Value packed = json::Member(LastThinning(), "packed");
  EXPECT_EQ(json::Member(packed, "surveys").get<double>(), 4);
  EXPECT_EQ(json::Member(packed, "hops").get<double>(), 20);
  EXPECT_EQ(json::Member(packed, "routeLists").get<double>(), 2);
  EXPECT_EQ(json::Member(packed, "sha256").get<std::string>().size(), 64u);
  EXPECT_EQ(Count("SELECT count(*) FROM route_lists"), 2);
  EXPECT_EQ(Count("SELECT count(*) FROM surveys WHERE routes_json = ''"), 4);
  EXPECT_EQ(Count("SELECT sum(hops) FROM packed_surveys"), 20);
  // One packed row per unit of the day.
  EXPECT_EQ(Count("SELECT count(*) FROM packed_hops WHERE visit_id = " + std::to_string(visit)), 4);
  // A second day with the same routes adds no list.
  const Millis next = day + kDay;
  Visit(next, {10, 600'000}, next + kDay);
  Thin(kNow);
  EXPECT_EQ(json::Member(json::Member(LastThinning(), "packed"), "routeListsAdded").get<double>(), 0);
  EXPECT_EQ(Count("SELECT count(*) FROM route_lists"), 2);
}

TEST_F(RecordsPackedHops, AYearOnPackedRowsThinAsTheRowsWouldHave) {
  // Two equal days: one packed at 30 days, then both past a year.
  const Millis dayA = kNow - 400 * kDay;
  const Millis dayB = dayA + kDay;
  Visit(dayA, {10, 600'000}, dayA + kDay);
  Visit(dayB, {10, 600'000}, dayB + kDay);
  Thin(dayA + 32 * kDay);  // A packed, B still holding its probes and rows
  ASSERT_GT(Count("SELECT count(*) FROM packed_hops"), 0);
  Thin(dayB + 31 * kDay);  // B packed too
  auto strip = [](json::Value v) {
    auto& o = v.get<json::Object>();
    o.erase("packed");
    for (auto& part : o["removed"].get<json::Array>()) part.get<json::Object>().erase("survey");
    return json::ToText(v);
  };
  // A's hop tier reads its packed rows, B's too: same digests and day summary as rows would give.
  const RowId thinA = Count("SELECT max(id) FROM thinnings");
  Thin(kNow);
  auto st = db_.Prepare("SELECT decoded_json FROM thinnings WHERE id > ? ORDER BY id");
  st.BindAll(thinA);
  std::vector<std::string> year;
  while (st.Step()) year.push_back(strip(*json::Parse(st.Text(0))));
  ASSERT_EQ(year.size(), 2u);
  EXPECT_EQ(year[0], year[1]);
  const json::Value last = LastThinning();
  EXPECT_EQ(json::Member(last, "hops").get<double>(), 10);
  EXPECT_EQ(json::Member(last, "daySummary").get<json::Array>().size(), 4u);  // per (from, unit)
  EXPECT_EQ(Count("SELECT count(*) FROM packed_hops"), 0);
  EXPECT_EQ(Count("SELECT count(*) FROM packed_surveys"), 0);
}

TEST_F(RecordsPackedHops, AHalfThinnedPackedDayKeepsTheRestExactly) {
  const Millis day = kNow - 365 * kDay - 500'000;
  Visit(day, {10, 600'000, 1'200'000}, day + kDay);
  Thin(kNow - 335 * kDay);  // packed
  Seen before = Read();
  Thin(kNow);  // the first round is past a year, the others not
  ASSERT_EQ(Count("SELECT count(*) FROM surveys"), 2);
  before.surveys.erase(before.surveys.begin());
  for (auto& trend : before.trends) {
    std::erase_if(trend, [&](const TrendPoint& p) { return p.surveyStartedAt < kNow - 365 * kDay; });
  }
  ExpectSame(before, Read());
}

TEST_F(RecordsPackedHops, AnExportCarriesPackedSurveysAsRowsAnotherStoreReadsEqually) {
  const Millis day = kNow - 40 * kDay;
  const RowId visit = Visit(day, {10, 600'000, 1'200'000}, day + kDay);
  Thin(kNow);
  ASSERT_GT(Count("SELECT count(*) FROM packed_hops"), 0);
  const Seen here = Read();
  const auto file = dir_.path() / "visit.sqlite";
  ASSERT_TRUE(store_->ExportVisit(visit, file));
  EXPECT_EQ(test::CountRows(file, "hop_stats"), 15);

  test::ScratchDir other;
  auto there = test::OpenStore(other.path());
  ASSERT_TRUE(there->Import(file));
  Database otherDb(there->report().path);
  const Seen imported = Read(*there, otherDb);
  // Row ids differ between stores; what they hold does not.
  ASSERT_EQ(imported.surveys.size(), here.surveys.size());
  for (size_t i = 0; i < here.surveys.size(); ++i) {
    EXPECT_EQ(imported.surveys[i].info.routesJson, here.surveys[i].info.routesJson);
    EXPECT_EQ(imported.surveys[i].hops.size(), here.surveys[i].hops.size());
  }
  for (size_t t = 0; t < here.trends.size(); ++t) EXPECT_EQ(imported.trends[t].size(), here.trends[t].size());
  // Back into the store it came from: nothing new, nothing twice.
  const auto again = store_->Import(file);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->updated, 0);
  EXPECT_EQ(Count("SELECT count(*) FROM hop_stats"), 0);
  ExpectSame(here, Read());
}

// A site's route list, as long as a 256-unit site's.
std::string LongRoutes(int seed) {
  std::string routes = "[";
  for (int r = 0; r < 240; ++r) routes += (r ? ",[" : "[") + std::to_string(13107200 + r % 16) + "," +
                                          std::to_string(11534336 + r + seed % 2) + "]";
  return routes + "]";
}

TEST_F(RecordsPackedHops, TheStoreRebuiltAfterPackingIsSmallerAndHoldsTheSame) {
  for (int d = 0; d < 6; ++d) {
    const Millis day = kNow - (40 + d) * kDay;
    const RowId visit = *store_->StartVisit({kSiteSerial, "Tank farm", "LM-B"}, {day, "monitor", "", ""});
    for (int n = 0; n < 24; ++n) {
      SurveyInfo info = test::SampleSurvey(day + n * 600'000);
      info.routesJson = LongRoutes(n);
      const RowId survey = *store_->BeginSurvey(visit, info);
      store_->FinishSurvey(survey, day + n * 600'000 + 100, Hops(n));
    }
    store_->EndVisit(visit, day + kDay);
  }
  Thin(kNow);  // each survey row loses its routes to the shared list
  ASSERT_GT(Count("SELECT count(*) FROM packed_surveys"), 100);
  const Seen before = Read();
  const auto ids = [&] {
    std::string all;
    for (auto st = db_.Prepare("SELECT content_id FROM surveys ORDER BY id"); st.Step();) all += st.Text(0);
    return all;
  };
  const std::string idsBefore = ids();
  const auto never = [] { return false; };
  const auto file = store_->report().path;

  // Not wasteful enough: left alone.
  StoreRebuild done = CompactWhenWasteful(db_, file, 0.99, never);
  EXPECT_EQ(done.afterBytes, 0);
  EXPECT_TRUE(done.skipped.empty());
  ASSERT_GT(done.before.wastedBytes, done.before.fileBytes / 10) << "packing left no room to give back";

  // A stop abandons the rebuild and leaves the store as it was.
  EXPECT_THROW(CompactWhenWasteful(db_, file, 0.1, [] { return true; }), SqlError);
  EXPECT_EQ(MeasureStoreRoom(db_).fileBytes, done.before.fileBytes);

  done = CompactWhenWasteful(db_, file, 0.1, never);
  ASSERT_GT(done.afterBytes, 0) << done.skipped;
  EXPECT_LT(done.afterBytes, done.before.fileBytes - done.before.wastedBytes * 8 / 10);
  EXPECT_EQ(CompactWhenWasteful(db_, file, 0.1, never).afterBytes, 0) << "rebuilt, and still as wasteful";
  EXPECT_EQ(test::IntegrityCheck(file), "ok");
  EXPECT_EQ(ids(), idsBefore);
  ExpectSame(before, Read());
  const auto again = test::OpenStore(dir_.path());  // the opening checks pass on the rebuilt file
  EXPECT_EQ((*again->ReadSurvey(1)).info.routesJson, LongRoutes(0));
}

}  // namespace
}  // namespace lm::records::packed
