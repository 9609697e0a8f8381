#pragma once
// One connection to the team server through libpq, by libpq's own
// conventions: the server is a service name from pg_service.conf
// ("office" -> service=office), a connection URI (postgresql://...) or
// key=value settings. Passwords come from ~/.pgpass (or PGPASSFILE) only: a
// server text that carries one is refused, so none lands in a shell history,
// a process list or the records. TLS is whatever the settings say
// (sslmode=verify-full for a server outside the plant).
// Throws SyncFailure.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct pg_conn;
struct pg_result;

namespace lm::teamsync {

using PgValue = std::optional<std::string>;  // PostgreSQL's text form; nullopt is NULL
// Takes the next piece of some COPY text.
using CopyPut = std::function<void(std::string_view)>;

class PgResult {
 public:
  explicit PgResult(pg_result* result) : result_(result) {}
  ~PgResult();
  PgResult(PgResult&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
  PgResult& operator=(PgResult&&) = delete;
  PgResult(const PgResult&) = delete;

  int Rows() const;
  int Columns() const;
  PgValue Get(int row, int column) const;
  std::string Text(int row, int column) const { return Get(row, column).value_or(""); }

 private:
  pg_result* result_;
};

// How long the server may keep one statement waiting, and how a link that
// went silent is found out: TCP keepalives, and a limit on data sent but
// never acknowledged. Zero timeouts leave the server's own.
struct PgSessionLimits {
  int statementTimeoutMs = 0;
  int lockTimeoutMs = 0;
  int keepaliveIdleS = 30, keepaliveIntervalS = 10, keepaliveCount = 3;
  int tcpUserTimeoutMs = 60000;
  // Refuse, before any password is sent, a server that is neither on this
  // computer (loopback, a Unix socket) nor reached with sslmode=verify-full.
  bool verifiedTlsOnly = false;
};

class PgConnection {
 public:
  // The libpq settings for a server text; refuses one that carries a password.
  static std::string ConnInfo(const std::string& server);
  // The server text with any password in it shown as "***", for messages.
  static std::string Printable(const std::string& server);
  // Refuses, as a connection with verifiedTlsOnly would, a server that is
  // neither on this computer nor reached with sslmode=verify-full: a
  // configuration can be checked before its first connection.
  static void RequireVerifiedTls(const std::string& server);

  explicit PgConnection(const std::string& server, const PgSessionLimits& limits = {});
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // Runs one command (or several without parameters) and answers its rows.
  PgResult Exec(const std::string& sql, const std::vector<PgValue>& params = {});
  // COPY ... FROM STDIN with the rows in COPY's text format, which `write`
  // hands to its argument in pieces; they are sent as they come, so no
  // more than a piece or two is ever held. A `write` that throws ends the
  // COPY as failed and leaves the connection usable.
  void CopyIn(const std::string& copySql, const std::function<void(const CopyPut&)>& write);

  // Closes the connection at once (a test's dropped link).
  void Drop();

 private:
  [[noreturn]] void Fail(const std::string& what, pg_result* result);
  pg_conn* conn_ = nullptr;
};

// A transaction on the server: committed by Commit(), rolled back when
// destroyed uncommitted.
class PgTransaction {
 public:
  explicit PgTransaction(PgConnection& conn);
  ~PgTransaction();
  PgTransaction(const PgTransaction&) = delete;
  PgTransaction& operator=(const PgTransaction&) = delete;
  void Commit();

 private:
  PgConnection& conn_;
  bool open_ = true;
};

}  // namespace lm::teamsync
