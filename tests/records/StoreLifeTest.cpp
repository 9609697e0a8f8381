// A store's life across programs: visits of programs gone are closed at the
// next open, those of running programs are not; the demo keeps its own
// store; a survey keeps the registration it was measured with.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "RecordsTestSupport.h"
#include "lm/records/ContentId.h"
#include "lm/records/Database.h"
#include "lm/records/Transaction.h"

namespace lm::records::test {
namespace {

namespace fs = std::filesystem;

// Runs `work` in a child process that ends without closing anything.
void InKilledProgram(const std::function<void()>& work) {
  const pid_t pid = fork();
  if (pid == 0) {
    work();
    _exit(0);  // no destructors: as a kill would leave it
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(RecordsStoreLife, VisitsOfProgramsGoneAreClosedAtTheirLastRecordOthersStayOpen) {
  ScratchDir dir;
  InKilledProgram([&] {
    auto store = OpenStore(dir.path());
    const RowId visit = *store->StartVisit({kSiteSerial, "", ""}, {1000, "", "", ""});
    store->AddRaw(visit, SampleRaw(RawKind::kEventLog, 1500));
    const RowId survey = *store->BeginSurvey(visit, SampleSurvey(1600));
    store->AddProbes(survey, SampleProbes(1, 2, 1700));  // the last at 1701
  });
  InKilledProgram([&] {
    auto store = OpenStore(dir.path());
    store->StartVisit({kSiteSerial + 1, "", ""}, {3000, "", "", ""});
    store.reset();  // ended without ending its visit
  });
  // A running program's visit.
  auto window = OpenStore(dir.path());
  const RowId live = *window->StartVisit({kSiteSerial + 2, "", ""}, {5000, "", "", ""});
  EXPECT_EQ(window->report().closedVisits, 1) << "the second program closed the first one's";

  auto commandLine = OpenStore(dir.path());
  EXPECT_EQ(commandLine->report().closedVisits, 0);
  const struct {
    int64_t serial;
    std::optional<Millis> endedAt;
    bool withoutClosing;
  } expected[] = {{kSiteSerial, 1701, true}, {kSiteSerial + 1, 3000, true}, {kSiteSerial + 2, std::nullopt, false}};
  for (const auto& e : expected) {
    SCOPED_TRACE(e.serial);
    const auto visit = (*commandLine->ListVisits(e.serial))[0];
    EXPECT_EQ(visit.endedAt, e.endedAt);
    EXPECT_EQ(visit.endedWithoutClosing, e.withoutClosing);
  }
  // The window ends; its visit is closed by the next program to open.
  window.reset();
  commandLine.reset();
  auto next = OpenStore(dir.path());
  EXPECT_EQ(next->report().closedVisits, 1);
  EXPECT_TRUE(next->ReadVisit(live)->visit.endedWithoutClosing);
  // A visit its program closes is closed, not "ended without closing".
  const RowId closed = *next->StartVisit({kSiteSerial, "", ""}, {9000, "", "", ""});
  ASSERT_TRUE(next->EndVisit(closed, 9500));
  EXPECT_FALSE(next->ReadVisit(closed)->visit.endedWithoutClosing);
}

// A large transaction (a day's thinning) does not leave the WAL at its size.
TEST(RecordsStoreLife, TheWalShrinksBackAfterALargeTransaction) {
  ScratchDir dir;
  const fs::path file = dir / "site-records.sqlite";
  Database db(file);
  db.Exec("CREATE TABLE ballast (b BLOB)");
  {
    Transaction tx(db);
    for (int i = 0; i < 40; ++i) db.Exec("INSERT INTO ballast VALUES (zeroblob(1048576))");
    tx.Commit();
  }
  const auto wal = fs::path(file.string() + "-wal");
  EXPECT_GT(fs::file_size(wal), 32u << 20);
  db.Exec("PRAGMA wal_checkpoint(PASSIVE)");
  db.Exec("DELETE FROM ballast");  // the next write starts the WAL over, cut back
  db.Exec("PRAGMA wal_checkpoint(PASSIVE)");
  db.Exec("INSERT INTO ballast VALUES (1)");
  EXPECT_LE(fs::file_size(wal), 16u << 20);
}

TEST(RecordsStoreLife, TheDemoKeepsItsOwnStoreBesideTheRealOne) {
  ScratchDir dir;
  auto real = OpenStore(dir.path());
  auto demo = RecordStore::Open(dir.path(), {.demo = true});
  ASSERT_TRUE(demo) << demo.error().message;
  EXPECT_TRUE((*demo)->report().demo);
  EXPECT_FALSE(real->report().demo);
  EXPECT_EQ((*demo)->report().path, dir / kDemoStoreFileName);
  ASSERT_TRUE((*demo)->StartVisit({kSiteSerial, "Demo", ""}, {1000, "", "", ""}));
  EXPECT_TRUE(real->ListSites()->empty());
}

TEST(RecordsStoreLife, ASurveyKeepsTheRegistrationItWasMeasuredWith) {
  ScratchDir a, b;
  auto store = OpenStore(a.path());
  const RowId visit = *store->StartVisit({kSiteSerial, "", ""}, {1000, "", "", ""});
  const RowId registration = *store->AddRaw(visit, SampleRaw(RawKind::kRegistration, 1100));
  SurveyInfo info = SampleSurvey(1200);
  const RowId plain = *store->BeginSurvey(visit, info);
  info.registrationId = registration;
  const RowId linked = *store->BeginSurvey(visit, info);
  EXPECT_NE(plain, linked) << "the registration is part of what the survey is";

  const auto read = store->ReadSurvey(linked);
  EXPECT_EQ(read->info.registrationId, registration);
  EXPECT_EQ(read->info.registrationContentId, store->ReadRaw(RawKind::kRegistration, registration)->contentId);
  const auto unlinked = store->ReadSurvey(plain);
  EXPECT_FALSE(unlinked->info.registrationId);
  EXPECT_EQ(unlinked->contentId, SurveyContentId(VisitContentId(kSiteSerial, 1000), SampleSurvey(1200)));

  info.registrationId = 999;
  EXPECT_EQ(store->BeginSurvey(visit, info).error().code, StoreErrorCode::kNotFound);

  // Moved to another store, the link names that store's copy.
  ASSERT_TRUE(store->ExportVisit(visit, a / "visit.sqlite"));
  auto other = OpenStore(b.path());
  other->StartVisit({kSiteSerial + 5, "", ""}, {1, "", "", ""});
  other->AddRaw(1, SampleRaw(RawKind::kRegistration, 2));  // ids there differ from here
  ASSERT_TRUE(other->Import(a / "visit.sqlite"));
  const auto records = other->ReadVisit(2)->records;
  const auto survey = std::find_if(records.begin(), records.end(),
                                   [&](const auto& r) { return r.contentId == read->contentId; });
  ASSERT_NE(survey, records.end());
  const auto there = other->ReadSurvey(survey->id);
  EXPECT_EQ(other->ReadRaw(RawKind::kRegistration, *there->info.registrationId)->contentId,
            read->info.registrationContentId);
}

}  // namespace
}  // namespace lm::records::test
