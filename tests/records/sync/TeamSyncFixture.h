#pragma once
// The team-records tests' fixture: one PostgreSQL 15 server for the suite
// (PgServer), a database of the test's own with the team schema, the
// technicians alice and bob and the administrator boss, and laptops with a
// store each.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "../RecordsTestSupport.h"
#include "PgServer.h"
#include "lm/teamsync/PgConnection.h"
#include "lm/teamsync/ServerSchema.h"
#include "lm/teamsync/TeamSync.h"

namespace lm::teamsync::test {

class TeamSyncTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new PgServer(); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    static int n = 0;
    db_ = "team" + std::to_string(++n);
    PgConnection admin(server_->Uri("postgres"));
    admin.Exec("CREATE DATABASE " + db_);
    PgConnection owner(server_->Uri(db_));
    ServerSchema::Init(owner);
    for (const char* who : {"alice", "bob"}) CreateRole(admin, who, "linkmeter_technician");
    CreateRole(admin, "boss", "linkmeter_admin");
  }

  static void CreateRole(PgConnection& admin, const std::string& name, const std::string& group) {
    if (admin.Exec("SELECT 1 FROM pg_roles WHERE rolname = $1", {name}).Rows() == 0) {
      admin.Exec("CREATE ROLE " + name + " LOGIN IN ROLE " + group);
    }
  }

  struct Laptop {
    records::test::ScratchDir dir;
    std::unique_ptr<records::RecordStore> store = records::test::OpenStore(dir.path());
    std::filesystem::path File() const { return dir / "site-records.sqlite"; }
  };

  SyncCounts Sync(Laptop& laptop, const std::string& user, const TeamSync::Progress& progress = {}) {
    return TeamSync(laptop.File(), server_->Uri(db_, user)).Run(std::nullopt, progress);
  }

  int64_t ServerCount(const std::string& sql) {
    PgConnection owner(server_->Uri(db_));
    return std::stoll(owner.Exec(sql).Text(0, 0));
  }

  static std::vector<records::VisitRow> Visits(Laptop& laptop, int64_t serial = records::test::kSiteSerial) {
    return *laptop.store->ListVisits(serial);
  }

  static inline PgServer* server_ = nullptr;
  std::string db_;
};

}  // namespace lm::teamsync::test
