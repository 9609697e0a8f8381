#include "SoakParts.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#ifdef LM_SOAK_SERVER
#include "../records/sync/PgServer.h"
#include "lm/teamsync/PgConnection.h"
#include "lm/teamsync/ServerSchema.h"
#endif

namespace lm::monitor::test {
namespace {

constexpr const char* kBallast = ".ballast";

std::string Failed(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

SoakDisk::SoakDisk(const std::filesystem::path& folder, int megabytes) : folder_(folder) {
  if (geteuid() != 0) {
    why_ = "not root (a tmpfs needs a mount namespace of the test's own)";
    return;
  }
  if (unshare(CLONE_NEWNS) != 0) {
    why_ = Failed("unshare");
    return;
  }
  if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
    why_ = Failed("private mounts");
    return;
  }
  const std::string size = "size=" + std::to_string(megabytes) + "m,mode=0700";
  if (mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, size.c_str()) != 0) {
    why_ = Failed("tmpfs");
    return;
  }
  mounted_ = true;
}

SoakDisk::~SoakDisk() {
  if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
}

void SoakDisk::Fill() {
  if (!Usable() || full_) return;
  struct statvfs fs {};
  if (statvfs(folder_.c_str(), &fs) != 0) return;
  const int fd = open((folder_ / kBallast).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  // Every free block taken, so the store's next page has nowhere to go.
  const off_t room = static_cast<off_t>(fs.f_bavail) * static_cast<off_t>(fs.f_frsize);
  full_ = room == 0 || fallocate(fd, 0, 0, room) == 0;
  everFull_ = everFull_ || full_;
  close(fd);
}

void SoakDisk::Free() {
  if (!full_) return;
  std::filesystem::remove(folder_ / kBallast);
  full_ = false;
}

#ifdef LM_SOAK_SERVER
SoakServer::SoakServer() {
  if (const char* want = std::getenv("LM_SOAK_SERVER"); want && std::string(want) == "0") {
    why_ = "LM_SOAK_SERVER=0";
    return;
  }
  try {
    server_ = std::make_unique<lm::teamsync::test::PgServer>();
    lm::teamsync::PgConnection(server_->Uri("postgres")).Exec("CREATE DATABASE soak");
    lm::teamsync::PgConnection owner(server_->Uri("soak"));
    lm::teamsync::ServerSchema::Init(owner);
    owner.Exec("CREATE ROLE alice LOGIN IN ROLE linkmeter_technician");
    admin_ = std::make_unique<lm::teamsync::PgConnection>(server_->Uri("soak"));
    // The administrator waits out a sync's transaction, never the rounds.
    admin_->Exec("SET lock_timeout = '30s'");
  } catch (const std::exception& e) {
    why_ = e.what();
  }
}

SoakServer::~SoakServer() = default;

std::string SoakServer::Uri() const { return server_->Uri("soak", "alice"); }

bool SoakServer::Stall() {
  if (stalled_ || !admin_) return stalled_;
  try {
    admin_->Exec("BEGIN");
    // Every table of the team's schema, as a migration would.
    admin_->Exec(
        "DO $$ BEGIN EXECUTE 'LOCK TABLE ' || (SELECT string_agg(format('%I.%I', schemaname, tablename), ', ') "
        "FROM pg_tables WHERE schemaname = 'linkmeter') || ' IN ACCESS EXCLUSIVE MODE'; END $$");
    stalled_ = true;
  } catch (const std::exception&) {
    admin_->Exec("ROLLBACK");  // a sync's transaction in the way, or a deadlock with it: the next round tries again
  }
  return stalled_;
}

void SoakServer::Release() {
  if (!stalled_) return;
  stalled_ = false;
  admin_->Exec("ROLLBACK");
}

int64_t SoakServer::Count(const std::string& sql) const {
  lm::teamsync::PgConnection owner(server_->Uri("soak"));
  return std::stoll(owner.Exec(sql).Text(0, 0));
}
#else
SoakServer::SoakServer() : why_("no PostgreSQL 15") {}
SoakServer::~SoakServer() = default;
std::string SoakServer::Uri() const { return ""; }
bool SoakServer::Stall() { return false; }
void SoakServer::Release() {}
int64_t SoakServer::Count(const std::string&) const { return 0; }
#endif

KeptLines::KeptLines(std::vector<std::string> marks) : std::ostream(this), marks_(std::move(marks)) {}

int KeptLines::overflow(int c) {
  if (c == std::streambuf::traits_type::eof()) return std::streambuf::traits_type::not_eof(c);
  const char ch = static_cast<char>(c);
  xsputn(&ch, 1);
  return c;
}

// The monitor's threads write whole lines, each with one call.
std::streamsize KeptLines::xsputn(const char* s, std::streamsize n) {
  std::lock_guard lock(mutex_);
  for (std::streamsize i = 0; i < n; ++i) {
    if (s[i] == '\n') EndLine();
    else line_ += s[i];
  }
  return n;
}

void KeptLines::EndLine() {
  ++lines_;
  for (const auto& mark : marks_) {
    if (line_.find(mark) != std::string::npos && marked_.size() < 1000) {
      marked_.push_back(std::move(line_));
      line_.clear();
      return;
    }
  }
  last_.push_back(std::move(line_));
  if (last_.size() > 20) last_.pop_front();
  line_.clear();
}

std::string KeptLines::str() const {
  std::lock_guard lock(mutex_);
  std::string out;
  for (const auto& l : marked_) out += l + "\n";
  if (!marked_.empty() && !last_.empty()) out += "...\n";
  for (const auto& l : last_) out += l + "\n";
  return out + line_;
}

long KeptLines::Lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

}  // namespace lm::monitor::test
