// The write path's shortcuts keep what the store promises: probes and hop
// statistics written many rows a statement land as given one by one, a
// survey's seal read straight from the store is the seal over its parts
// however they came, a sealed survey still takes nothing, and a statement
// lent from the connection's cache never stays open after its loan.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <random>

#include "RecordsTestSupport.h"
#include "lm/records/ContentId.h"
#include "lm/records/Database.h"
#include "lm/records/Seals.h"
#include "lm/records/StoreOpener.h"

namespace lm::records::test {
namespace {

// 7 routes of 13 probes, in an order no index keeps.
std::vector<Probe> ShuffledProbes() {
  auto probes = SampleProbes(7, 13, 5000);
  std::shuffle(probes.begin(), probes.end(), std::mt19937(7));
  return probes;
}

std::string StoredSeal(const std::filesystem::path& folder, RowId survey) {
  Database db(folder / kStoreFileName, Database::Mode::kReadOnly);
  auto st = db.Prepare("SELECT coalesce(seal, '') FROM surveys WHERE id = ?");
  st.BindAll(survey);
  return st.Step() ? st.Text(0) : "";
}

TEST(RecordsBatchedWrites, PartsInCallsOfAnySizeAreKeptOnceAndSealedAsAWhole) {
  // Call sizes below, at and across the statements' row counts (1 to 32).
  for (size_t perCall : {1u, 5u, 32u, 33u, 70u, 91u}) {
    SCOPED_TRACE(perCall);
    ScratchDir dir;
    auto store = OpenStore(dir.path());
    const RowId visit = *store->StartVisit({kSiteSerial, "", ""}, {1000, "", "", ""});
    const RowId survey = *store->BeginSurvey(visit, SampleSurvey(1100));
    const auto probes = ShuffledProbes();
    for (size_t at = 0; at < probes.size(); at += perCall) {
      // Each call repeats the previous call's last probe: it is kept once.
      const size_t from = at == 0 ? 0 : at - 1;
      const auto part = std::span(probes).subspan(from, std::min(probes.size(), at + perCall) - from);
      ASSERT_TRUE(store->AddProbes(survey, part));
    }
    auto hops = SampleHops(7, -70, 3.0);
    ASSERT_TRUE(store->AddHopStats(survey, hops));
    std::reverse(hops.begin(), hops.end());
    hops[0].levelAvg = -40;  // the end's statistics replace those kept while it ran
    ASSERT_TRUE(store->FinishSurvey(survey, 9000, hops));

    const auto read = store->ReadSurvey(survey);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->probes.size(), probes.size());
    ASSERT_EQ(read->hops.size(), hops.size());
    EXPECT_EQ(read->hops.back().levelAvg, -40);
    EXPECT_EQ(StoredSeal(dir.path(), survey), SurveySeal(read->contentId, 9000, probes, hops));
  }
}

TEST(RecordsBatchedWrites, ASealedSurveyRefusesAWholeCallAndKeepsWhatItHad) {
  ScratchDir dir;
  auto store = OpenStore(dir.path());
  const RowId visit = *store->StartVisit({kSiteSerial, "", ""}, {1000, "", "", ""});
  const RowId survey = *store->BeginSurvey(visit, SampleSurvey(1100));
  const auto probes = SampleProbes(3, 4, 1200);
  ASSERT_TRUE(store->AddProbes(survey, probes));
  ASSERT_TRUE(store->FinishSurvey(survey, 1900, SampleHops(3, -60, 3.0)));
  const std::string seal = StoredSeal(dir.path(), survey);

  const auto more = SampleProbes(5, 10, 1300);  // new probes and the ones it has, 50 in one call
  EXPECT_FALSE(store->AddProbes(survey, more));
  EXPECT_FALSE(store->AddHopStats(survey, SampleHops(5, -50, 3.3)));
  EXPECT_FALSE(store->FinishSurvey(survey, 1900, SampleHops(5, -50, 3.3)));
  store.reset();
  const auto file = dir.path() / kStoreFileName;
  EXPECT_EQ(CountRows(file, "probes"), static_cast<int64_t>(probes.size()));
  EXPECT_EQ(CountRows(file, "hop_stats"), 3);
  EXPECT_EQ(StoredSeal(dir.path(), survey), seal);
}

// Keys past an int, written around the program, are sealed as the parts
// read back in memory would be (the order of their int fields).
TEST(RecordsBatchedWrites, KeysOutsideTheFieldsSealAsThePartsInMemory) {
  ScratchDir dir;
  OpenStore(dir.path()).reset();
  Database db(dir.path() / kStoreFileName);
  db.Exec("INSERT INTO sites(content_id, serial) VALUES ('s', 1);"
          "INSERT INTO visits(content_id, site_id, started_at) VALUES ('v', 1, 0);"
          "INSERT INTO surveys(content_id, visit_id, kind, started_at, probes_per_route, routes_json, "
          "thresholds_json) VALUES ('survey', 1, 'site', 0, 1, '[]', '{}');"
          "INSERT INTO probes VALUES (1, 4294967297, 0, 10, 1, x'01'), (1, 0, 1, 11, 1, x'02'), "
          "(1, 2, 0, 12, 0, x'');"
          "UPDATE surveys SET ended_at = 99");
  // 4294967297 reads back as route 1.
  const std::vector<Probe> inMemory = {{1, 0, 10, true, {1}}, {0, 1, 11, true, {2}}, {2, 0, 12, false, {}}};
  EXPECT_EQ(Seals(db).OfSurvey(1), SurveySeal("survey", 99, inMemory, {}));
}

TEST(RecordsBatchedWrites, ALentStatementIsResetWhenItsLoanEnds) {
  Database db(":memory:");
  const std::string sql = "SELECT 1 UNION ALL SELECT 2";
  {
    auto outer = db.Cached(sql);
    ASSERT_TRUE(outer->Step());
    {
      // The same SQL inside the loan is a statement of its own.
      auto inner = db.Cached(sql);
      ASSERT_TRUE(inner->Step());
      EXPECT_EQ(inner->Int(0), 1);
    }
    ASSERT_TRUE(outer->Step());
    EXPECT_EQ(outer->Int(0), 2);
  }
  for (sqlite3_stmt* st = sqlite3_next_stmt(db.Handle(), nullptr); st; st = sqlite3_next_stmt(db.Handle(), st)) {
    EXPECT_FALSE(sqlite3_stmt_busy(st)) << sqlite3_sql(st);
  }
  auto again = db.Cached(sql);
  ASSERT_TRUE(again->Step());
  EXPECT_EQ(again->Int(0), 1) << "lent again from its first row";
}

}  // namespace
}  // namespace lm::records::test
