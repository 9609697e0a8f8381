// A monitor visit thinned by the retention policy after the team server
// took it whole: the next sync neither fetches the thinned rows back nor
// sends anything, the visit stays marked synced, and the server and other
// laptops keep every row.
#include <gtest/gtest.h>

#include "TeamSyncFixture.h"
#include "lm/records/Database.h"
#include "lm/records/Thinning.h"

namespace lm::teamsync::test {
namespace {

namespace rec = lm::records;

constexpr rec::Millis kVisitAt = 1'765'000'000'000, kOneDay = 86'400'000;

TEST_F(TeamSyncTest, AThinnedVisitIsNeitherFetchedBackNorResent) {
  Laptop a;
  const rec::RowId visit = *a.store->StartVisit({rec::test::kSiteSerial, "Tank farm", ""}, {kVisitAt, "monitor", "", ""});
  const rec::RowId survey = *a.store->BeginSurvey(visit, rec::test::SampleSurvey(kVisitAt + 10));
  a.store->AddProbes(survey, rec::test::SampleProbes(2, 3, kVisitAt + 20));
  a.store->FinishSurvey(survey, kVisitAt + 30, rec::test::SampleHops(2, -60, 3.1));
  a.store->EndVisit(visit, kVisitAt + 40);
  Sync(a, "alice");
  ASSERT_TRUE(Visits(a)[0].synced);

  rec::Database db(a.File());
  const auto thinned = rec::ThinVisits(db, {}, {rec::test::kSiteSerial, "monitor", "monitor-00A00001", false}, kVisitAt + 400 * kOneDay);
  EXPECT_EQ(thinned.probes + thinned.hops, 8);
  const SyncCounts again = Sync(a, "alice");
  EXPECT_EQ(again.pulledRows, 0);
  EXPECT_EQ(again.pushedRows, 0);
  EXPECT_EQ(db.QueryInt("SELECT count(*) FROM probes") + db.QueryInt("SELECT count(*) FROM hop_stats"), 0);
  EXPECT_TRUE(Visits(a)[0].synced);
  EXPECT_EQ(ServerCount("SELECT count(*) FROM linkmeter.probes"), 6);
  EXPECT_EQ(ServerCount("SELECT count(*) FROM linkmeter.raw_records"), 0);  // the thinning stays here

  Laptop b;
  Sync(b, "bob");
  const auto read = *b.store->ReadVisit(Visits(b)[0].id);
  ASSERT_EQ(read.records.size(), 1u);
  EXPECT_EQ(b.store->ReadSurvey(read.records[0].id)->probes.size(), 6u);
}

// Past the probes' time only: the hop statistics are packed, and the sync
// counts them as the rows the server holds.
TEST_F(TeamSyncTest, APackedVisitIsNeitherFetchedBackNorResent) {
  Laptop a;
  const rec::RowId visit = *a.store->StartVisit({rec::test::kSiteSerial, "Tank farm", ""}, {kVisitAt, "monitor", "", ""});
  for (const rec::Millis at : {kVisitAt + 10, kVisitAt + 600'000}) {
    const rec::RowId survey = *a.store->BeginSurvey(visit, rec::test::SampleSurvey(at));
    a.store->AddProbes(survey, rec::test::SampleProbes(2, 3, at + 10));
    a.store->FinishSurvey(survey, at + 20, rec::test::SampleHops(2, -60, 3.1));
  }
  a.store->EndVisit(visit, kVisitAt + 700'000);
  Sync(a, "alice");
  ASSERT_TRUE(Visits(a)[0].synced);

  rec::Database db(a.File());
  const auto thinned = rec::ThinVisits(db, {}, {rec::test::kSiteSerial, "monitor", "monitor-00A00001", false}, kVisitAt + 40 * kOneDay);
  EXPECT_EQ(thinned.probes, 12);
  ASSERT_EQ(db.QueryInt("SELECT count(*) FROM hop_stats"), 0);
  ASSERT_EQ(db.QueryInt("SELECT sum(entries) FROM packed_hops"), 4);
  const SyncCounts again = Sync(a, "alice");
  EXPECT_EQ(again.pulledRows, 0);
  EXPECT_EQ(again.pushedRows, 0);
  EXPECT_EQ(db.QueryInt("SELECT count(*) FROM hop_stats"), 0);
  EXPECT_TRUE(Visits(a)[0].synced);
  EXPECT_EQ(ServerCount("SELECT count(*) FROM linkmeter.hop_stats"), 4);
  EXPECT_EQ(ServerCount("SELECT count(*) FROM linkmeter.surveys WHERE routes_json = ''"), 0);
}

}  // namespace
}  // namespace lm::teamsync::test
