// The retention policy's thinning of monitor visits: where each tier's
// boundary falls, what is never thinned (a technician's visit, an open one,
// one the team server does not hold whole), and the record it leaves.
#include <gtest/gtest.h>

#include "RecordsTestSupport.h"
#include "lm/Json.h"
#include "lm/records/ContentId.h"
#include "lm/records/Database.h"
#include "lm/records/Thinning.h"

namespace lm::records {
namespace {

using test::kSiteSerial;

constexpr Millis kDay = 86'400'000;
constexpr Millis kNow = 1'800'000'000'000;
const RetentionPolicy kPolicy{std::chrono::hours(30 * 24), std::chrono::hours(365 * 24)};

class RecordsThinning : public ::testing::Test {
 protected:
  RecordsThinning() : store_(test::OpenStore(dir_.path())), db_(store_->report().path) {}

  // A visit whose surveys begin at each of `surveys`, each with probes and
  // hop statistics; ended unless `open`.
  RowId Visit(const std::string& technician, Millis startedAt, std::vector<Millis> surveys, bool open = false,
              int64_t site = kSiteSerial) {
    const RowId visit = *store_->StartVisit({site, "Tank farm", "LM-B"}, {startedAt, technician, "", ""});
    for (const Millis at : surveys) {
      const RowId survey = *store_->BeginSurvey(visit, test::SampleSurvey(at));
      store_->AddProbes(survey, test::SampleProbes(2, 3, at + 1));
      store_->FinishSurvey(survey, at + 100, test::SampleHops(2, -60, 3.1));
    }
    if (!open) store_->EndVisit(visit, startedAt + 1000);
    return visit;
  }
  void MarkSynced(RowId visit) {
    db_.Prepare("INSERT INTO sync_marks(visit_id, synced_at) VALUES (?, 0)").BindAll(visit).Run();
  }
  void MarkSent(RowId visit) { db_.Prepare("UPDATE visits SET sent_by = 'alice' WHERE id = ?").BindAll(visit).Run(); }
  int64_t Surveys(RowId visit) {
    return db_.QueryInt("SELECT count(*) FROM surveys WHERE visit_id = " + std::to_string(visit));
  }
  int64_t Rows(const char* table, RowId visit) {
    auto st = db_.Prepare(std::string("SELECT count(*) FROM ") + table +
                          " x JOIN surveys su ON su.id = x.survey_id WHERE su.visit_id = ?");
    st.BindAll(visit);
    st.Step();
    return st.Int(0);
  }
  // Hop statistics as History reads them, packed or not.
  int64_t Hops(RowId visit) {
    auto st = db_.Prepare("SELECT id FROM surveys WHERE visit_id = ?");
    st.BindAll(visit);
    int64_t n = 0;
    while (st.Step()) n += static_cast<int64_t>(store_->ReadSurvey(st.Int(0))->hops.size());
    return n;
  }
  ThinningCounts Thin(bool unsentToo = true, Millis now = kNow) {
    return ThinVisits(db_, kPolicy, {kSiteSerial, "monitor", "monitor-00A00001", unsentToo}, now);
  }

  test::ScratchDir dir_;
  std::unique_ptr<RecordStore> store_;
  Database db_;
};

TEST_F(RecordsThinning, EachTierEndsAtItsBoundaryToTheMillisecond) {
  struct Case {
    Millis surveyAt;
    int64_t probes, hops, surveys;  // left of 6, 2 and 1
  } cases[] = {
      {kNow - 30 * kDay, 6, 2, 1},       // 30 days old: every probe kept
      {kNow - 30 * kDay - 1, 0, 2, 1},   // older: the hop statistics alone
      {kNow - 365 * kDay, 0, 2, 1},      // a year old: still each round's statistics
      {kNow - 365 * kDay - 1, 0, 0, 0},  // older: the daily summary only
  };
  for (const Case& c : cases) {
    const RowId visit = Visit("monitor", c.surveyAt - 10, {c.surveyAt});
    Thin();
    EXPECT_EQ(Rows("probes", visit), c.probes) << (kNow - c.surveyAt);
    EXPECT_EQ(Hops(visit), c.hops) << (kNow - c.surveyAt);
    EXPECT_EQ(Surveys(visit), c.surveys) << (kNow - c.surveyAt);
  }
}

TEST_F(RecordsThinning, NeverTouchesATechniciansAnOpenAnUnsyncedOrAnotherSitesVisit) {
  const Millis old = kNow - 400 * kDay;
  const RowId technician = Visit("Alice", old, {old + 10});
  const RowId otherSite = Visit("monitor", old, {old + 10}, false, kSiteSerial + 1);
  const RowId open = Visit("monitor", old, {old + 10}, true);
  const RowId sentNotWhole = Visit("monitor", old + 1, {old + 11});
  MarkSent(sentNotWhole);
  const RowId neverSent = Visit("monitor", old + 2, {old + 12});
  const RowId synced = Visit("monitor", old + 3, {old + 13});
  MarkSent(synced);
  MarkSynced(synced);

  // With a team server: only what it holds whole.
  EXPECT_EQ(Thin(false).visits, 1);
  for (const RowId kept : {technician, open, sentNotWhole, neverSent}) EXPECT_EQ(Rows("probes", kept), 6) << kept;
  EXPECT_EQ(Surveys(synced), 0);
  // Without one, a visit never sent may go too; one sent in part still waits.
  EXPECT_EQ(Thin(true).visits, 1);
  EXPECT_EQ(Surveys(neverSent), 0);
  for (const RowId kept : {technician, open, sentNotWhole, otherSite}) EXPECT_EQ(Rows("hop_stats", kept), 2) << kept;
  // The mark stays: what the server holds did not change.
  EXPECT_EQ(db_.QueryInt("SELECT count(*) FROM sync_marks WHERE visit_id = " + std::to_string(synced)), 1);
}

// A file taken before the thinning (a colleague's export, a backup) brings
// nothing back that was thinned on purpose, and the next thinning goes on.
TEST_F(RecordsThinning, AnOlderFileImportedBringsNoThinnedPartBack) {
  const Millis day = kNow - 40 * kDay;
  const RowId old = Visit("monitor", kNow - 400 * kDay, {kNow - 400 * kDay + 10});
  const RowId visit = Visit("monitor", day, {day + 10});
  const RowId later = Visit("monitor", day + 8 * kDay, {day + 8 * kDay + 10});
  const auto file = dir_.path() / "before.lmrec";
  ASSERT_TRUE(store_->ExportSite(kSiteSerial, file));
  // The oldest visit's surveys go whole, the next one's probes.
  EXPECT_EQ(Thin(true, kNow - 5 * kDay).visits, 2);
  const auto imported = store_->Import(file);
  ASSERT_TRUE(imported) << imported.error().message;
  EXPECT_EQ(imported->records, 0);
  ASSERT_EQ(imported->refused.size(), 1u);
  EXPECT_NE(imported->refused[0].find("thinned here"), std::string::npos) << imported->refused[0];
  EXPECT_EQ(Surveys(old), 0);
  EXPECT_EQ(Rows("probes", visit), 0);
  EXPECT_EQ(Hops(visit), 2);  // packed, as before the import
  EXPECT_EQ(Thin().visits, 1);  // the later visit's probes, once past their time
  EXPECT_EQ(Rows("probes", later), 0);
}

TEST_F(RecordsThinning, LeavesARecordOfWhatWentInTheVisitOnce) {
  const Millis day = kNow - 400 * kDay;
  const RowId visit = Visit("monitor", day, {day + 10, day + 20});
  const ThinningCounts done = Thin();
  EXPECT_EQ(done.visits, 1);
  EXPECT_EQ(done.probes, 12);
  EXPECT_EQ(done.hops, 4);
  EXPECT_EQ(Thin().visits, 0);  // nothing left to thin: no second record

  const VisitRecords read = *store_->ReadVisit(visit);
  std::vector<RecordSummary> thinnings;
  for (const auto& r : read.records) {
    if (r.kind == "thinning") thinnings.push_back(r);
  }
  ASSERT_EQ(thinnings.size(), 1u);
  EXPECT_EQ(thinnings[0].at, kNow);
  EXPECT_EQ(thinnings[0].source, "monitor-00A00001");
  const StoredRaw stored = *store_->ReadRaw(RawKind::kThinning, thinnings[0].id);
  EXPECT_EQ(stored.contentId, RawContentId(read.visit.contentId, stored.record));
  const auto decoded = json::Parse(stored.record.decodedJson);
  ASSERT_TRUE(decoded);
  const auto& removed = json::Member(*decoded, "removed").get<json::Array>();
  ASSERT_EQ(removed.size(), 4u);  // probes and hops of both surveys
  std::set<std::string> digests;
  for (const auto& part : removed) {
    EXPECT_EQ(json::Member(part, "sha256").get<std::string>().size(), 64u);
    digests.insert(json::Member(part, "sha256").get<std::string>());
  }
  EXPECT_EQ(digests.size(), 3u);  // the probes differ by time; both rounds' statistics are the same rows
  // The day's summary: one line per hop, both rounds in it.
  const auto& summary = json::Member(*decoded, "daySummary").get<json::Array>();
  ASSERT_EQ(summary.size(), 2u);
  EXPECT_EQ(json::Member(summary[0], "rounds").get<double>(), 2);
  EXPECT_EQ(json::Member(summary[0], "sent").get<double>(), 6);
  // The rounds went whole; what the team server holds of them is remembered.
  EXPECT_EQ(Surveys(visit), 0);
  EXPECT_EQ(db_.QueryInt("SELECT count(*) FROM thinned_surveys WHERE ended AND probes = 6 AND hops = 2"), 2);
}

}  // namespace
}  // namespace lm::records
