#pragma once
// What the soak puts the monitor through besides its rounds:
// - SoakDisk: the store's folder on a tmpfs of its own, in a private mount
//   namespace, which a ballast file fills for a while (a full disk);
// - SoakServer: a team server (PostgreSQL 15, tests/records/sync/PgServer)
//   on which an administrator holds the tables locked for a while (a stall).
// Either says why it cannot be had (not root, no PostgreSQL,
// LM_SOAK_SERVER=0) and the soak goes on without it.
// - KeptLines: a log that keeps the lines asked for and the last few, so
//   that a year of log lines does not count as the monitor's memory.

#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace lm::teamsync {
class PgConnection;
namespace test {
class PgServer;
}
}  // namespace lm::teamsync

namespace lm::monitor::test {

class SoakDisk {
 public:
  // Mounts a tmpfs of `megabytes` on `folder`; call before any thread starts.
  SoakDisk(const std::filesystem::path& folder, int megabytes);
  ~SoakDisk();
  bool Usable() const { return why_.empty(); }
  const std::string& WhyNot() const { return why_; }
  // Fills what is left of the tmpfs, or frees it again.
  void Fill();
  void Free();
  bool Full() const { return full_; }
  bool EverFull() const { return everFull_; }

 private:
  std::filesystem::path folder_;
  std::string why_;
  bool mounted_ = false, full_ = false, everFull_ = false;
};

class SoakServer {
 public:
  SoakServer();
  ~SoakServer();
  bool Usable() const { return why_.empty(); }
  const std::string& WhyNot() const { return why_; }
  // The technician's connection text for the monitor's sync.
  std::string Uri() const;
  // An administrator locks the team's tables until Release(); false when
  // a sync's transaction kept the lock from being taken this time.
  bool Stall();
  void Release();
  bool Stalled() const { return stalled_; }
  int64_t Count(const std::string& sql) const;

 private:
  std::unique_ptr<lm::teamsync::test::PgServer> server_;
  std::unique_ptr<lm::teamsync::PgConnection> admin_;
  std::string why_;
  bool stalled_ = false;
};

class KeptLines : private std::streambuf, public std::ostream {
 public:
  // Keeps every line holding one of `marks` (at most 1000) and the last 20.
  explicit KeptLines(std::vector<std::string> marks = {});
  std::string str() const;
  long Lines() const;

 private:
  int overflow(int c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  void EndLine();

  std::vector<std::string> marks_;
  mutable std::mutex mutex_;
  std::string line_;
  std::vector<std::string> marked_;
  std::deque<std::string> last_;
  long lines_ = 0;
};

}  // namespace lm::monitor::test
