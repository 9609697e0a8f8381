// The page's sync and serverInit through the query bridge, as the page calls
// them: the team sync is a module loaded on the first call, so the process
// has no PostgreSQL client mapped before it, and the module's answers and
// failures come back as they did when it was linked in.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "lm/teamsync/ServerSchema.h"  // its version only: this test links no sync
#include "../../cef/BridgeTestSupport.h"
#include "../RecordsTestSupport.h"
#include "PgServer.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/js/RecordsFailures.h"
#include "sorrel/js/RecordsFunctions.h"

namespace lm::teamsync::test {
namespace {

namespace fs = std::filesystem;
namespace failure = Sorrel::Js::records_failure;

// The records functions over a store in `folder`; Call answers the JSON, or
// {"failed": code1} for a failure.
class PageRecords {
 public:
  explicit PageRecords(const fs::path& folder) {
    Sorrel::Js::RegisterRecordsFunctions(manager_, std::make_shared<Sorrel::Js::RecordsAccess>([folder] { return folder; }));
    router_.AttachFactory(manager_.SharedFactory());
  }
  ~PageRecords() { router_.Shutdown(); }

  lm::json::Value Call(const std::string& function, const std::string& arg) {
    std::string query;
    for (const auto& [name, h] : manager_.Factory()) {
      if (h->ScriptName() == "linkmeter.records." + function) query = h->QueryName();
    }
    auto cb = std::make_shared<bridge_test::RecordingCallback>();
    EXPECT_TRUE(router_.OnQuery(browser_, ++id_, "jsquery:" + query + " " + arg, false, cb));
    EXPECT_TRUE(cb->WaitFor(1, std::chrono::seconds(60)));
    const auto a = cb->Answers().at(0);
    auto v = lm::json::Parse(a.text);
    if (a.success) return v ? *v : lm::json::Value();
    const double code = v && v->contains("code1") ? v->get("code1").get<double>() : 999;
    return lm::json::MakeObject({{"failed", lm::json::Number(code)}, {"text", lm::json::String(a.text)}});
  }

 private:
  Sorrel::cef::Manager manager_;
  Sorrel::cef::QueryTaskGroup tasks_;
  Sorrel::cef::BsmsgRouter router_{tasks_};
  std::shared_ptr<bridge_test::FakeBrowser> browser_ = std::make_shared<bridge_test::FakeBrowser>();
  int64_t id_ = 0;
};

bool PostgresClientMapped() {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    if (line.find("/libpq.so") != std::string::npos) return true;
  }
  return false;
}

double Num(const lm::json::Value& v, const char* key) { return v.contains(key) ? v.get(key).get<double>() : -999; }
std::string ServerArg(const std::string& uri) { return lm::json::ToText(lm::json::MakeObject({{"server", lm::json::String(uri)}})); }

TEST(PageSync, TheModuleLoadsOnTheFirstCallAndAnswersAsThePageExpects) {
  ASSERT_FALSE(PostgresClientMapped()) << "the PostgreSQL client is loaded before any sync";
  PgServer server;
  lm::records::test::ScratchDir dir;
  lm::records::test::RecordFullVisit(*lm::records::test::OpenStore(dir.path()), 1'765'000'000'000);
  PageRecords page(dir.path());

  const auto init = page.Call("serverInit", ServerArg(server.Uri("postgres")));
  const int version = lm::teamsync::ServerSchema::kVersion;
  EXPECT_EQ(lm::json::ToText(init),
            R"({"created":true,"from":0,"version":)" + std::to_string(version) + "}");
  EXPECT_TRUE(PostgresClientMapped());
  EXPECT_EQ(Num(page.Call("serverInit", ServerArg(server.Uri("postgres"))), "from"), version);

  const auto sync = page.Call("sync", ServerArg(server.Uri("postgres")));
  EXPECT_EQ(Num(sync, "visits"), 1) << lm::json::ToText(sync);
  EXPECT_EQ(Num(sync, "pushedVisits"), 1);
  EXPECT_GT(Num(sync, "pushedRows"), 5);
  EXPECT_EQ(sync.contains("user") ? sync.get("user").get<std::string>() : "", "lmadmin");
  const auto progress = page.Call("syncProgress", "{}");
  EXPECT_EQ(lm::json::ToText(progress), R"({"done":1,"running":false,"total":1})");

  const struct {
    const char* what;
    const char* function;
    std::string server;
    int32_t code;
  } failures[] = {
      {"no server there", "sync", "postgresql://lmadmin@/postgres?host=" + (dir / "none").string(), failure::kServerUnreachable},
      {"a password in the name", "sync", "postgresql://lmadmin:secret@/postgres?host=/tmp", failure::kInvalid},
      {"no team records on it", "sync", server.Uri("template1"), failure::kServerRefused},
      {"init where nothing listens", "serverInit", "postgresql://lmadmin@/postgres?host=" + (dir / "none").string(), failure::kServerUnreachable},
  };
  for (const auto& f : failures) {
    EXPECT_EQ(Num(page.Call(f.function, ServerArg(f.server)), "failed"), f.code) << f.what;
  }
}

}  // namespace
}  // namespace lm::teamsync::test
