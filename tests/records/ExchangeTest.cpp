// Export to one file and import merging by content id.
#include <gtest/gtest.h>

#include <set>

#include "RecordsTestSupport.h"
#include "lm/records/Database.h"

namespace lm::records::test {
namespace {

namespace fs = std::filesystem;

// The content ids of everything in a store's visits of the test site.
std::multiset<std::string> ContentIds(RecordStore& store) {
  std::multiset<std::string> ids;
  const auto visits = store.ListVisits(kSiteSerial);
  for (const auto& v : *visits) {
    ids.insert(v.contentId);
    const auto read = store.ReadVisit(v.id);
    for (const auto& r : read->records) ids.insert(r.contentId);
  }
  return ids;
}

const char* kChildTables[] = {"probes", "hop_stats", "scan_rounds", "settings_write_keys"};

TEST(RecordsExchange, SiteRoundTripMergesWithoutDuplicates) {
  ScratchDir a, b;
  auto source = OpenStore(a.path());
  RecordFullVisit(*source, 10'000);
  RecordFullVisit(*source, 20'000);
  const fs::path file = a / "north.lmrecords";
  ASSERT_TRUE(source->ExportSite(kSiteSerial, file));
  const auto fileBytes = ReadFile(file);
  EXPECT_FALSE(fs::exists(fs::path(file) += "-wal")) << "an export is one file";

  auto target = OpenStore(b.path());
  const struct {
    int sites, visits, records, skipped;
  } expected[] = {{1, 2, 14, 0}, {0, 0, 0, 16}};  // first import, then the same file again
  for (const auto& e : expected) {
    auto counts = target->Import(file);
    ASSERT_TRUE(counts) << counts.error().message;
    EXPECT_EQ(counts->sites, e.sites);
    EXPECT_EQ(counts->visits, e.visits);
    EXPECT_EQ(counts->records, e.records);
    EXPECT_EQ(counts->skipped, e.skipped);
  }
  EXPECT_EQ(ReadFile(file), fileBytes) << "import only reads its file";
  EXPECT_EQ(ContentIds(*target), ContentIds(*source));
  for (const char* table : kChildTables) {
    EXPECT_EQ(CountRows(b / kStoreFileName, table), CountRows(a / kStoreFileName, table)) << table;
  }
  const auto site = target->ListSites();
  ASSERT_EQ(site->size(), 1u);
  EXPECT_EQ((*site)[0].site.name, "North plant");
  const auto visit = (*target->ListVisits(kSiteSerial))[0];
  EXPECT_EQ(visit.endedAt, 20'100);
  EXPECT_EQ(target->ReadVisit(visit.id)->settingsWrites[0].write.changes.size(), 2u);
}

TEST(RecordsExchange, OneVisitThenTheWholeSiteAddsOnlyWhatIsNew) {
  ScratchDir a, b;
  auto source = OpenStore(a.path());
  const RowId first = RecordFullVisit(*source, 10'000);
  RecordFullVisit(*source, 20'000);
  ASSERT_TRUE(source->ExportVisit(first, a / "visit.sqlite"));
  ASSERT_TRUE(source->ExportSite(kSiteSerial, a / "site.sqlite"));

  auto target = OpenStore(b.path());
  // The target has a visit of its own too: it stays.
  RecordFullVisit(*target, 30'000);
  auto one = target->Import(a / "visit.sqlite");
  ASSERT_TRUE(one) << one.error().message;
  EXPECT_EQ(one->visits, 1);
  EXPECT_EQ(one->sites, 0);
  auto all = target->Import(a / "site.sqlite");
  ASSERT_TRUE(all);
  EXPECT_EQ(all->visits, 1);
  EXPECT_EQ(all->records, 7);
  EXPECT_EQ(all->skipped, 8);
  EXPECT_EQ(target->ListVisits(kSiteSerial)->size(), 3u);
  EXPECT_EQ(CountRows(b / kStoreFileName, "probes"), 3 * 6);
  EXPECT_EQ(target->UnitTrend(kSiteSerial, 0x00B00010)->size(), 3u);
}

TEST(RecordsExchange, SurveyCutShortIsCompletedByALaterImport) {
  ScratchDir a, b;
  auto source = OpenStore(a.path());
  const RowId visit = *source->StartVisit({kSiteSerial, "", ""}, {1000, "", "", ""});
  const RowId survey = *source->BeginSurvey(visit, SampleSurvey(1001));
  const auto probes = SampleProbes(1, 6, 1002);
  source->AddProbes(survey, std::span(probes).first(2));
  ASSERT_TRUE(source->ExportVisit(visit, a / "early.sqlite"));
  source->AddProbes(survey, std::span(probes).subspan(2));
  source->FinishSurvey(survey, 2000, SampleHops(1, -60, 3));
  ASSERT_TRUE(source->ExportVisit(visit, a / "late.sqlite"));

  auto target = OpenStore(b.path());
  ASSERT_TRUE(target->Import(a / "early.sqlite"));
  ASSERT_TRUE(target->Import(a / "late.sqlite"));
  const auto merged = target->ReadSurvey((*target->ReadVisit(1)).records[0].id);
  ASSERT_TRUE(merged);
  EXPECT_EQ(merged->probes.size(), 6u);
  EXPECT_EQ(merged->hops.size(), 1u);
  EXPECT_EQ(merged->endedAt, 2000);
}

TEST(RecordsExchange, FilesThatCannotBeImportedAreRefused) {
  ScratchDir a, b;
  auto source = OpenStore(a.path());
  RecordFullVisit(*source, 10'000);
  ASSERT_TRUE(source->ExportSite(kSiteSerial, a / "newer.sqlite"));
  {
    Database db(a / "newer.sqlite");
    db.SetUserVersion(99);
  }
  WriteFile(a / "garbage.sqlite", std::vector<uint8_t>(8192, 0x5a));
  { Database empty(a / "empty.sqlite"); }
  const struct {
    const char* file;
    StoreErrorCode code;
  } cases[] = {
      {"newer.sqlite", StoreErrorCode::kNewerFile},
      {"garbage.sqlite", StoreErrorCode::kDamagedFile},
      {"empty.sqlite", StoreErrorCode::kDamagedFile},
      {"missing.sqlite", StoreErrorCode::kDamagedFile},
  };
  auto target = OpenStore(b.path());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    auto result = target->Import(a / c.file);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, c.code);
    EXPECT_NE(result.error().message.find(c.file), std::string::npos) << result.error().message;
  }
  EXPECT_TRUE(target->ListSites()->empty());
}

TEST(RecordsExchange, ExportReplacesAnOlderFileWhole) {
  ScratchDir a;
  auto store = OpenStore(a.path());
  RecordFullVisit(*store, 10'000);
  WriteFile(a / "out.sqlite", std::vector<uint8_t>(100, 1));
  ASSERT_TRUE(store->ExportSite(kSiteSerial, a / "out.sqlite"));
  EXPECT_EQ(CountRows(a / "out.sqlite", "visits"), 1);
  EXPECT_EQ(IntegrityCheck(a / "out.sqlite"), "ok");
}

TEST(RecordsExchange, EditedVisitFieldsTravelAsVersionsAndAreChecked) {
  ScratchDir a, b;
  auto source = OpenStore(a.path());
  const RowId visit = RecordFullVisit(*source, 10'000);
  ASSERT_TRUE(source->UpdateVisit(visit, {0, "Sato", "Acme", "ladder at gate 2"}));
  const fs::path file = a / "north.lmrecords";
  ASSERT_TRUE(source->ExportVisit(visit, file));
  auto target = OpenStore(b.path());
  ASSERT_TRUE(target->Import(file));
  const auto imported = (*target->ListVisits(kSiteSerial))[0];
  EXPECT_EQ(imported.info.notes, "ladder at gate 2");
  EXPECT_EQ(imported.versionId, (*source->ListVisits(kSiteSerial))[0].versionId);

  {
    Database forged(file);
    forged.Exec("UPDATE visit_versions SET notes = 'gate left open'");
  }
  ScratchDir c;
  auto other = OpenStore(c.path());
  const auto refused = other->Import(file);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().code, StoreErrorCode::kDamagedFile);
  EXPECT_TRUE(other->ListVisits(kSiteSerial)->empty());
}

}  // namespace
}  // namespace lm::records::test
