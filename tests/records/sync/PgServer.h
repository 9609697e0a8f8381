#pragma once
// A PostgreSQL 15 server of the test's own: initdb and pg_ctl (Debian's
// postgresql-15) in a temporary folder, reachable only by the Unix socket in
// that folder (no TCP). Run as `nobody` when the test runs as root, since the
// server refuses to run as root. Stopped and removed at destruction.

#include <filesystem>
#include <string>

namespace lm::teamsync::test {

class PgServer {
 public:
  PgServer();
  ~PgServer();
  PgServer(const PgServer&) = delete;
  PgServer& operator=(const PgServer&) = delete;

  void Start();
  void Stop();  // at once, as a crash or a pulled cable would

  // A connection URI for `user` (trust authentication) to database `db`.
  std::string Uri(const std::string& db, const std::string& user = "lmadmin") const;
  const std::filesystem::path& Folder() const { return folder_; }

 private:
  void Run(const std::string& command) const;
  void Watch();
  std::filesystem::path folder_;
  bool running_ = false;
  int alive_ = -1;     // the write end the watchdog waits on
  int watchdog_ = -1;  // its pid
};

}  // namespace lm::teamsync::test
