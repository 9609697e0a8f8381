// An export never writes over a store: the store itself however it is
// named or linked, its companions, a store another program has open.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "RecordsTestSupport.h"
#include "lm/records/Database.h"

namespace lm::records::test {
namespace {

namespace fs = std::filesystem;

// A database another process holds open until the object goes.
class OtherProcessDatabase {
 public:
  explicit OtherProcessDatabase(const fs::path& file) {
    int ready[2];
    EXPECT_EQ(pipe(ready), 0);
    pid_ = fork();
    if (pid_ == 0) {
      Database db(file);
      db.Exec("CREATE TABLE IF NOT EXISTS t(x)");
      (void)!write(ready[1], "r", 1);
      alarm(60);  // never outlives a stuck test
      for (;;) pause();
    }
    char c;
    EXPECT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    close(ready[1]);
  }
  ~OtherProcessDatabase() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_;
};

TEST(RecordsExportTarget, NoFileOfAnOpenStoreIsEverATarget) {
  ScratchDir dir, elsewhere, second;
  auto store = OpenStore(dir.path());
  RecordFullVisit(*store, 10'000);
  auto secondStore = OpenStore(second.path());
  const fs::path own = dir / kStoreFileName;
  fs::create_symlink(own, elsewhere / "link.sqlite");
  fs::create_hard_link(own, elsewhere / "hard.sqlite");
  fs::create_symlink(own, elsewhere / "dangling.sqlite.part");
  OtherProcessDatabase other(elsewhere / "theirs.sqlite");
  const struct {
    const char* what;
    fs::path target;
  } cases[] = {
      {"the store", own},
      {"the store spelt another way", dir.path() / "." / ".." / dir.path().filename() / kStoreFileName},
      {"its -wal", fs::path(own) += "-wal"},
      {"its -shm", fs::path(own) += "-shm"},
      {"its -journal, not there yet", fs::path(own) += "-journal"},
      {"a symlink to it", elsewhere / "link.sqlite"},
      {"a hard link to it", elsewhere / "hard.sqlite"},
      {"a name whose .part is a link to it", elsewhere / "dangling.sqlite"},
      {"another store of this process", second / kStoreFileName},
      {"a database another program has open", elsewhere / "theirs.sqlite"},
      {"the -wal of that database", elsewhere / "theirs.sqlite-wal"},
  };
  const auto before = ReadFile(elsewhere / "theirs.sqlite");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& result : {store->ExportSite(kSiteSerial, c.target), store->ExportVisit(1, c.target)}) {
      ASSERT_FALSE(result);
      EXPECT_EQ(result.error().code, StoreErrorCode::kInvalid);
      EXPECT_NE(result.error().message.find("never writes over the site records"), std::string::npos)
          << result.error().message;
    }
  }
  EXPECT_EQ(ReadFile(elsewhere / "theirs.sqlite"), before);
  EXPECT_TRUE(fs::is_symlink(elsewhere / "dangling.sqlite.part"));
  EXPECT_EQ(store->ListVisits(kSiteSerial)->size(), 1u);
  EXPECT_EQ(store->ReadVisit(1)->records.size(), 7u);
  EXPECT_EQ(IntegrityCheck(own), "ok");
  // A closed store's file is an ordinary file again.
  secondStore.reset();
  EXPECT_TRUE(store->ExportSite(kSiteSerial, elsewhere / "fine.sqlite"));
}

// No program has these open, yet each is (or is named as) someone's records.
TEST(RecordsExportTarget, ClosedStoresAndExportsAreNeverReplaced) {
  ScratchDir dir, closed, elsewhere;
  auto store = OpenStore(dir.path());
  RecordFullVisit(*store, 10'000);
  OpenStore(closed.path()).reset();
  ASSERT_TRUE(store->ExportSite(kSiteSerial, elsewhere / "earlier.sqlite"));
  { Database plain(elsewhere / "other.db"); plain.Exec("CREATE TABLE t(x)"); }
  WriteFile(elsewhere / "notes.txt", {'n'});
  const struct {
    const char* what;
    fs::path target;
    bool refused;
  } cases[] = {
      {"a closed workspace store", closed / kStoreFileName, true},
      {"the demo store's name, not there yet", closed / kDemoStoreFileName, true},
      {"the store's name in any folder", elsewhere / kStoreFileName, true},
      {"the -wal name of a store", elsewhere / "site-records-demo.sqlite-wal", true},
      {"an earlier export", elsewhere / "earlier.sqlite", true},
      {"the -journal of an earlier export", elsewhere / "earlier.sqlite-journal", true},
      {"a database of something else", elsewhere / "other.db", false},
      {"a file that is no database", elsewhere / "notes.txt", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const bool existed = fs::exists(c.target);
    const auto before = existed ? ReadFile(c.target) : std::vector<uint8_t>{};
    const auto result = store->ExportVisit(1, c.target);
    EXPECT_EQ(!result, c.refused);
    if (!c.refused) continue;
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().code, StoreErrorCode::kInvalid);
    EXPECT_NE(result.error().message.find("never writes over the site records"), std::string::npos)
        << result.error().message;
    EXPECT_EQ(fs::exists(c.target), existed);
    if (existed) {
      EXPECT_EQ(ReadFile(c.target), before);
    }
  }
  EXPECT_FALSE(fs::exists(closed / kDemoStoreFileName));
}

TEST(RecordsExportTarget, StoreAndExportsAreTheOwnersAlone) {
  ScratchDir dir;
  auto store = OpenStore(dir.path());
  RecordFullVisit(*store, 10'000);
  ASSERT_TRUE(store->ExportSite(kSiteSerial, dir / "out.sqlite"));
  for (const char* name : {kStoreFileName, "site-records.sqlite-wal", "site-records.sqlite-shm", "out.sqlite"}) {
    SCOPED_TRACE(name);
    const auto perms = fs::status(dir / name).permissions();
    EXPECT_EQ(perms & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  }
}

}  // namespace
}  // namespace lm::records::test
