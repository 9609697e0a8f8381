// Import files are verified, never trusted: crafted files (forged ids, an
// endless view, a trigger, an oversized blob, wrong types, orphans) are
// refused before the store is touched; a read-only copy of a store in WAL
// mode imports; a later export of the same visit adds what grew.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include "RecordsTestSupport.h"
#include "lm/records/ContentId.h"
#include "lm/records/Database.h"
#include "lm/records/ImportChecker.h"
#include "lm/records/Transaction.h"

namespace lm::records::test {
namespace {

namespace fs = std::filesystem;

// The export of one full visit of a fresh store.
fs::path FullVisitExport(const ScratchDir& dir, const std::string& name) {
  const fs::path file = dir / name;
  ScratchDir source;
  auto store = OpenStore(source.path());
  RecordFullVisit(*store, 10'000);
  EXPECT_TRUE(store->ExportSite(kSiteSerial, file));
  return file;
}

// An export of one full visit, then changed by `craft` as a forger would.
fs::path CraftedExport(const ScratchDir& dir, const std::string& name, const std::string& craft) {
  const fs::path file = FullVisitExport(dir, name);
  Database db(file, Database::Mode::kPrivate);
  sqlite3_limit(db.Handle(), SQLITE_LIMIT_LENGTH, 0x7fffffff);  // the forger has no cap
  db.Exec(craft);
  return file;
}

std::string Quote(const std::string& id) { return "'" + id + "'"; }

TEST(RecordsImportCheck, CraftedFilesAreRefusedAndTheStoreIsLeftAlone) {
  ScratchDir files, dir;
  const std::string otherSite = Quote(SiteContentId(kSiteSerial + 1));
  const std::string otherVisit = Quote(VisitContentId(kSiteSerial + 1, 10'000));
  const struct {
    const char* name;
    std::string craft;
    const char* said;  // in the refusal
  } cases[] = {
      {"forged-site.sqlite", "UPDATE sites SET content_id = " + otherSite, "content id of site"},
      {"forged-visit.sqlite", "UPDATE visits SET content_id = " + otherVisit, "content id of visit"},
      {"changed-record.sqlite", "UPDATE downloads SET raw = x'01'", "content id of download"},
      {"changed-write.sqlite", "UPDATE settings_write_keys SET new_json = '900' WHERE position = 0",
       "content id of settings-write"},
      {"endless-view.sqlite",
       "ALTER TABLE sites RENAME TO kept_sites; CREATE VIEW sites AS WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL "
       "SELECT n + 1 FROM c) SELECT n AS id, '' AS content_id, n AS serial, '' AS name, '' AS model FROM c",
       "unexpected view sites"},
      {"trigger.sqlite", "CREATE TRIGGER wipe AFTER INSERT ON sites BEGIN DELETE FROM visits; END",
       "unexpected trigger wipe"},
      {"extra-table.sqlite", "CREATE TABLE extra(x)", "unexpected table extra"},
      {"changed-column.sqlite", "ALTER TABLE probes ADD COLUMN note TEXT", "unexpected table probes"},
      {"oversized.sqlite", "UPDATE downloads SET raw = zeroblob(64 * 1024 * 1024 + 1)", "64 MiB"},
      {"text-time.sqlite", "UPDATE probes SET at = 'noon' WHERE seq = 1", "wrong type, or over 64 MiB, in probes"},
      {"bad-json.sqlite", "UPDATE surveys SET routes_json = '[[1,'", "wrong type, or over 64 MiB, in surveys"},
      {"orphans.sqlite", "DELETE FROM surveys", "without its surveys"},
      {"two-spaces.sqlite",
       "INSERT INTO visit_versions(content_id, visit_id, replaces, made_at, technician, customer, notes) "
       "SELECT 'v', id, content_id || '  ' || content_id, 5, '', '', 'x' FROM visits",
       "non-canonical form"},
  };
  auto store = OpenStore(dir.path());
  // Another program writing all along: a refusal never waits for the store.
  Database writer(dir / kStoreFileName);
  Transaction holding(writer);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path file = CraftedExport(files, c.name, c.craft);
    const auto before = ReadFile(file);
    auto result = store->Import(file);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, StoreErrorCode::kDamagedFile);
    EXPECT_NE(result.error().message.find(c.said), std::string::npos) << result.error().message;
    EXPECT_NE(result.error().message.find("nothing was imported"), std::string::npos) << result.error().message;
    EXPECT_TRUE(ReadFile(file) == before) << "the import file is never changed";
    fs::remove(file);
  }
  holding.Commit();
  EXPECT_TRUE(store->ListSites()->empty());
}

TEST(RecordsImportCheck, ReadingPastTheTimeLimitIsARefusal) {
  // Whatever SQL a file makes run (a check, a query), the progress handler
  // ends it at the limit; here the limit has passed before the first step.
  ScratchDir files;
  const fs::path file = CraftedExport(files, "slow.sqlite", "SELECT 1");
  try {
    CheckedImport checked(file, std::chrono::seconds(0));
    FAIL() << "checked without time";
  } catch (const StoreFailure& f) {
    EXPECT_EQ(f.error.code, StoreErrorCode::kDamagedFile);
    EXPECT_NE(f.error.message.find("took too long"), std::string::npos) << f.error.message;
  }
  EXPECT_NO_THROW(CheckedImport(file, CheckedImport::kTimeLimit));
}

TEST(RecordsImportCheck, AFileOverTheCapIsRefusedBeforeItIsCopied) {
  // Sparse: a size past the cap without the disk space.
  ScratchDir files;
  const fs::path file = CraftedExport(files, "huge.sqlite", "SELECT 1");
  fs::resize_file(file, CheckedImport::kMaxFileBytes + 1);
  ScratchDir temp;  // where a copy would go, seen by no other test
  const char* oldTemp = getenv("TMPDIR");
  const std::string keptTemp = oldTemp ? oldTemp : "";
  setenv("TMPDIR", temp.path().c_str(), 1);
  try {
    CheckedImport checked(file);
    FAIL() << "a file over the cap was taken";
  } catch (const StoreFailure& f) {
    EXPECT_EQ(f.error.code, StoreErrorCode::kDamagedFile);
    EXPECT_NE(f.error.message.find("larger than 1 GiB"), std::string::npos) << f.error.message;
  }
  EXPECT_TRUE(fs::is_empty(temp.path()));
  if (oldTemp) setenv("TMPDIR", keptTemp.c_str(), 1); else unsetenv("TMPDIR");
}

TEST(RecordsImportCheck, AForgedFileNeverBlocksAUnitLater) {
  // A file carrying this site's id under another serial once kept the unit
  // out of the store for good; now it is refused and the unit records on.
  ScratchDir files, dir;
  const fs::path file = CraftedExport(files, "forged.sqlite",
                                      "UPDATE sites SET serial = " + std::to_string(kSiteSerial + 7));
  auto store = OpenStore(dir.path());
  EXPECT_FALSE(store->Import(file));
  EXPECT_TRUE(store->StartVisit({kSiteSerial, "North plant", ""}, {5000, "", "", ""}));
  EXPECT_TRUE(store->StartVisit({kSiteSerial + 7, "Other", ""}, {5000, "", "", ""}));
}

TEST(RecordsImportCheck, ReadOnlyCopyOfAStoreInWalModeImports) {
  ScratchDir source, shelf, dir;
  {
    auto store = OpenStore(source.path());
    RecordFullVisit(*store, 10'000);
  }
  // Copied as a user would, into a folder nothing may be written to.
  const fs::path copy = shelf / "copy.sqlite";
  fs::copy_file(source / kStoreFileName, copy);
  ASSERT_EQ(ReadFile(copy)[18], 2) << "the copy says WAL in its header";
  fs::permissions(copy, fs::perms::owner_read, fs::perm_options::replace);
  fs::permissions(shelf.path(), fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
  const auto before = ReadFile(copy);
  auto store = OpenStore(dir.path());
  auto counts = store->Import(copy);
  fs::permissions(shelf.path(), fs::perms::owner_all, fs::perm_options::replace);
  ASSERT_TRUE(counts) << counts.error().message;
  EXPECT_EQ(counts->visits, 1);
  EXPECT_EQ(counts->records, 7);
  EXPECT_EQ(ReadFile(copy), before);
  EXPECT_FALSE(fs::exists(fs::path(copy) += "-wal"));
  EXPECT_FALSE(fs::exists(fs::path(copy) += "-shm"));
}

// A store copied while its program had it open keeps its latest visits in
// the -wal beside the copy: the import takes them, and leaves both alone.
TEST(RecordsImportCheck, ACopiedLiveStoreBringsItsWal) {
  ScratchDir source, shelf, alone, dir;
  auto live = OpenStore(source.path());
  for (Millis at : {10'000, 20'000, 30'000}) RecordFullVisit(*live, at);
  const fs::path copy = shelf / "copy.sqlite";
  fs::copy_file(source / kStoreFileName, copy);
  fs::copy_file(source / "site-records.sqlite-wal", fs::path(copy) += "-wal");
  fs::copy_file(source / kStoreFileName, alone / "copy.sqlite");
  const auto walBefore = ReadFile(fs::path(copy) += "-wal");
  auto store = OpenStore(dir.path());
  // Without its -wal the file lacks visits (or even its tables): what the test is about.
  const auto partial = store->Import(alone / "copy.sqlite");
  ASSERT_TRUE(!partial || partial->visits < 3);
  auto counts = store->Import(copy);
  ASSERT_TRUE(counts) << counts.error().message;
  EXPECT_EQ(counts->visits + (partial ? partial->visits : 0), 3);
  EXPECT_EQ(store->ListVisits(kSiteSerial)->size(), 3u);
  EXPECT_EQ(ReadFile(fs::path(copy) += "-wal"), walBefore);
}

TEST(RecordsImportCheck, EarlyThenFinishedExportUpdatesWhatGrewAndSaysSo) {
  ScratchDir a, b;
  auto source = OpenStore(a.path());
  const RowId visit = *source->StartVisit({kSiteSerial, "", ""}, {1000, "", "", ""});
  source->AddRaw(visit, SampleRaw(RawKind::kRegistration, 1000));
  const RowId survey = *source->BeginSurvey(visit, SampleSurvey(1001));
  const auto probes = SampleProbes(1, 6, 1002);
  auto early = SampleHops(1, -70, 3.0);
  early[0].sent = 2;
  source->AddProbes(survey, std::span(probes).first(2));
  source->AddHopStats(survey, early);
  ASSERT_TRUE(source->ExportVisit(visit, a / "early.sqlite"));
  source->AddProbes(survey, std::span(probes).subspan(2));
  auto finished = SampleHops(1, -60, 3.1);
  finished[0].sent = 6;
  source->FinishSurvey(survey, 2000, finished);
  source->EndVisit(visit, 2100);
  ASSERT_TRUE(source->ExportVisit(visit, a / "late.sqlite"));

  auto target = OpenStore(b.path());
  const struct {
    const char* file;
    int visits, records, updated, skipped;
  } steps[] = {
      {"early.sqlite", 1, 2, 0, 0},
      {"late.sqlite", 0, 0, 2, 1},  // the visit's end and the survey grew; the registration is as it was
      {"late.sqlite", 0, 0, 0, 3},
      {"early.sqlite", 0, 0, 0, 3},  // an older file never takes anything back
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.file);
    auto counts = target->Import(a / s.file);
    ASSERT_TRUE(counts) << counts.error().message;
    EXPECT_EQ(counts->visits, s.visits);
    EXPECT_EQ(counts->records, s.records);
    EXPECT_EQ(counts->updated, s.updated);
    EXPECT_EQ(counts->skipped, s.skipped);
  }
  const auto v = (*target->ListVisits(kSiteSerial))[0];
  EXPECT_EQ(v.endedAt, 2100);
  const auto merged = target->ReadSurvey(target->ReadVisit(v.id)->records[1].id);
  ASSERT_TRUE(merged);
  EXPECT_EQ(merged->probes.size(), 6u);
  ASSERT_EQ(merged->hops.size(), 1u);
  EXPECT_EQ(merged->hops[0].sent, 6);
  EXPECT_EQ(merged->hops[0].levelAvg, -60);
  EXPECT_EQ(merged->endedAt, 2000);
}

// The export of a finished visit changed the way a forger would: the seal
// triggers dropped, `craft` run, the triggers put back as they were.
fs::path ForgedFinishedExport(const ScratchDir& dir, const std::string& name, const std::string& craft) {
  const fs::path file = FullVisitExport(dir, name);
  Database db(file, Database::Mode::kPrivate);
  std::vector<std::pair<std::string, std::string>> triggers;
  auto st = db.Prepare("SELECT name, sql FROM sqlite_schema WHERE type = 'trigger' AND name LIKE 'sealed%'");
  while (st.Step()) triggers.emplace_back(st.Text(0), st.Text(1));
  for (const auto& [trigger, sql] : triggers) db.Exec("DROP TRIGGER " + trigger);
  db.Exec(craft);
  for (const auto& [trigger, sql] : triggers) db.Exec(sql);
  return file;
}

TEST(RecordsImportCheck, AFinishedSurveyKeepsItsProbesAndStatisticsWhateverAFileSays) {
  // Hop statistics raised and a dead-link probe added to the finished survey.
  const std::string raise =
      "UPDATE hop_stats SET sent = sent + 20, answered = answered + 20, level_avg = -30; "
      "INSERT INTO probes(survey_id, route, seq, at, answered, raw) SELECT id, 0, 50, 10100, 0, x'' FROM surveys;";
  const struct {
    const char* file;
    std::string craft;
    bool imported;     // false: the whole file is refused
    const char* says;  // in the refusal, or in the one refused record's line
  } cases[] = {
      {"seal-kept.sqlite", raise, false, "does not match what it holds"},
      {"resealed.sqlite", raise + "UPDATE surveys SET seal = NULL;", true, "has ended here"},
  };
  ScratchDir files, dir;
  auto target = OpenStore(dir.path());
  RecordFullVisit(*target, 10'000);
  const fs::path storeFile = dir / "site-records.sqlite";
  const auto surveyId = Database(storeFile).QueryText("SELECT content_id FROM surveys");
  const auto before = Database(storeFile).QueryText(
      "SELECT group_concat(sent || ':' || answered || ':' || level_avg) FROM hop_stats");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    auto result = target->Import(ForgedFinishedExport(files, c.file, c.craft));
    const std::string said = !result ? result.error().message : result->refused.empty() ? "" : result->refused[0];
    EXPECT_EQ(bool(result), c.imported) << said;
    if (result) {
      EXPECT_EQ(result->refused.size(), 1u);
    }
    EXPECT_NE(said.find(c.says), std::string::npos) << said;
    EXPECT_NE(said.find(surveyId.substr(0, 12)), std::string::npos) << said;  // names the survey
    EXPECT_EQ(CountRows(storeFile, "probes"), 6);
    EXPECT_EQ(Database(storeFile).QueryText(
                  "SELECT group_concat(sent || ':' || answered || ':' || level_avg) FROM hop_stats"),
              before);
  }
}

}  // namespace
}  // namespace lm::records::test
