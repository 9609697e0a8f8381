#include "lm/teamsync/PgConnection.h"

#include <algorithm>
#include <utility>
#include <vector>

#include <libpq-fe.h>

#include "lm/teamsync/SyncFailure.h"

namespace lm::teamsync {
namespace {

bool IsSettings(const std::string& server) {
  return server.rfind("postgresql://", 0) == 0 || server.rfind("postgres://", 0) == 0 ||
         server.find('=') != std::string::npos;
}

// A lock or statement timeout, a deadlock or a conflict: the server was busy,
// not refusing anything; the sync is tried again as after a dropped link.
bool IsBusy(const std::string& state) {
  return state == "55P03" || state == "57014" || state == "40001" || state == "40P01";
}

SyncFailureKind KindOf(const char* sqlState) {
  const std::string state = sqlState ? sqlState : "";
  if (IsBusy(state)) return SyncFailureKind::kUnreachable;
  // Errors the server reports carry a state; one libpq found itself (a
  // connection that closed, a message that never came) does not.
  if (state.empty() || state.rfind("08", 0) == 0 || state.rfind("57P", 0) == 0) return SyncFailureKind::kUnreachable;
  if (state == "3F000" || state == "42P01" || state == "42883") return SyncFailureKind::kSchema;
  return SyncFailureKind::kRefused;
}

std::string Trimmed(const char* text) {
  std::string s = text ? text : "";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// The password a server text carries (a URI's user info, or password=),
// found without libpq so that a text libpq cannot parse is covered too.
std::string PasswordIn(const std::string& server) {
  const size_t scheme = server.find("://");
  if (scheme != std::string::npos) {
    const size_t end = server.find_first_of("/?", scheme + 3);
    const std::string authority = server.substr(scheme + 3, end == std::string::npos ? end : end - scheme - 3);
    const size_t at = authority.rfind('@');
    const size_t colon = authority.find(':');
    if (at != std::string::npos && colon != std::string::npos && colon < at) return authority.substr(colon + 1, at - colon - 1);
    const size_t key = server.find("password=", scheme);
    if (key == std::string::npos) return "";
    const size_t stop = server.find('&', key);
    return server.substr(key + 9, stop == std::string::npos ? stop : stop - key - 9);
  }
  const size_t key = server.find("password");
  if (key == std::string::npos) return "";
  size_t at = server.find('=', key);
  if (at == std::string::npos) return "";
  at = server.find_first_not_of(' ', at + 1);
  if (at == std::string::npos) return "";
  if (server[at] == '\'') {
    const size_t close = server.find('\'', at + 1);
    return server.substr(at + 1, close == std::string::npos ? close : close - at - 1);
  }
  const size_t stop = server.find(' ', at);
  return server.substr(at, stop == std::string::npos ? stop : stop - at);
}

std::string Scrub(std::string text, const std::string& server) {
  const std::string password = PasswordIn(server);
  if (password.empty()) return text;
  for (size_t at = text.find(password); at != std::string::npos; at = text.find(password, at + 3)) {
    text.replace(at, password.size(), "***");
  }
  return text;
}

// The connect options for the session limits; the texts live as long as this.
class SessionOptions {
 public:
  explicit SessionOptions(const PgSessionLimits& l)
      : idle_(std::to_string(l.keepaliveIdleS)),
        interval_(std::to_string(l.keepaliveIntervalS)),
        count_(std::to_string(l.keepaliveCount)),
        userTimeout_(std::to_string(l.tcpUserTimeoutMs)) {
    if (l.statementTimeoutMs > 0) options_ += "-c statement_timeout=" + std::to_string(l.statementTimeoutMs);
    if (l.lockTimeoutMs > 0) options_ += std::string(options_.empty() ? "" : " ") + "-c lock_timeout=" + std::to_string(l.lockTimeoutMs);
  }
  void AddTo(std::vector<const char*>& keys, std::vector<const char*>& values) const {
    const std::pair<const char*, const std::string*> all[] = {
        {"keepalives_idle", &idle_}, {"keepalives_interval", &interval_}, {"keepalives_count", &count_},
        {"tcp_user_timeout", &userTimeout_}};
    keys.push_back("keepalives");
    values.push_back("1");
    for (const auto& [key, value] : all) keys.push_back(key), values.push_back(value->c_str());
    if (!options_.empty()) keys.push_back("options"), values.push_back(options_.c_str());
  }

 private:
  std::string idle_, interval_, count_, userTimeout_, options_;
};

bool OnThisComputer(const std::string& host) {
  if (host.empty() || host.front() == '/' || host.front() == '@') return true;  // a Unix socket
  if (host == "localhost" || host == "::1") return true;
  return host.rfind("127.", 0) == 0;
}

// The settings libpq would use (service file, environment and defaults
// taken in), read from a connection started but never polled: no byte of
// the startup, and so no password, has left when a server is refused.
void RefuseUnverifiedTls(const char* const* keys, const char* const* values, const std::string& server) {
  PGconn* probe = PQconnectStartParams(keys, values, 1);
  std::string host, hostaddr, sslmode;
  if (PQconninfoOption* in = probe ? PQconninfo(probe) : nullptr) {
    for (PQconninfoOption* o = in; o->keyword; ++o) {
      const std::string key = o->keyword, value = o->val ? o->val : "";
      if (key == "host") host = value;
      if (key == "hostaddr") hostaddr = value;
      if (key == "sslmode") sslmode = value;
    }
    PQconninfoFree(in);
  }
  PQfinish(probe);
  bool local = true;
  for (const std::string& list : {host, hostaddr}) {
    for (size_t at = 0; at <= list.size();) {
      const size_t comma = std::min(list.find(',', at), list.size());
      const std::string one = list.substr(at, comma - at);
      if (!one.empty() && !OnThisComputer(one)) local = false;
      at = comma + 1;
    }
  }
  if (local || sslmode == "verify-full") return;
  throw SyncFailure(SyncFailureKind::kUsage,
                    "the team server " + PgConnection::Printable(server) + " is reached with sslmode=" +
                        (sslmode.empty() ? "prefer" : sslmode) +
                        ": a server off this computer needs sslmode=verify-full (or the monitor's configuration "
                        "must accept an unverified server in words: sync_tls = accept-unverified)");
}

}  // namespace

std::string PgConnection::Printable(const std::string& server) { return Scrub(server, server); }

void PgConnection::RequireVerifiedTls(const std::string& server) {
  const std::string info = ConnInfo(server);
  const char* keys[] = {"dbname", nullptr};
  const char* values[] = {info.c_str(), nullptr};
  RefuseUnverifiedTls(keys, values, server);
}

PgResult::~PgResult() { PQclear(result_); }
int PgResult::Rows() const { return PQntuples(result_); }
int PgResult::Columns() const { return PQnfields(result_); }
PgValue PgResult::Get(int row, int column) const {
  if (PQgetisnull(result_, row, column)) return std::nullopt;
  return std::string(PQgetvalue(result_, row, column), PQgetlength(result_, row, column));
}

std::string PgConnection::ConnInfo(const std::string& server) {
  if (server.empty()) throw SyncFailure(SyncFailureKind::kUsage, "no team server named");
  const std::string info = IsSettings(server) ? server : "service=" + server;
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(info.c_str(), &error);
  if (!options) {
    const std::string why = Trimmed(error);
    PQfreemem(error);
    // libpq's reason may quote the text itself: neither may show a password.
    throw SyncFailure(SyncFailureKind::kUsage, "the team server " + Printable(server) +
                                                   " is not a service name or URI: " + Scrub(why, server));
  }
  bool password = false;
  for (PQconninfoOption* o = options; o->keyword; ++o) {
    if (std::string(o->keyword) == "password" && o->val && *o->val) password = true;
  }
  PQconninfoFree(options);
  if (password) {
    throw SyncFailure(SyncFailureKind::kUsage,
                      "the team server's name carries a password; keep passwords in ~/.pgpass instead");
  }
  return info;
}

PgConnection::PgConnection(const std::string& server, const PgSessionLimits& limits) {
  const std::string info = ConnInfo(server);
  const SessionOptions session(limits);
  // The server text comes last: what it says itself wins over these.
  std::vector<const char*> keys{"connect_timeout", "application_name", "client_encoding"}, values{"10", "linkmeter", "UTF8"};
  session.AddTo(keys, values);
  keys.push_back("dbname");
  values.push_back(info.c_str());
  keys.push_back(nullptr);
  values.push_back(nullptr);
  if (limits.verifiedTlsOnly) RefuseUnverifiedTls(keys.data(), values.data(), server);
  conn_ = PQconnectdbParams(keys.data(), values.data(), 1);
  if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
    const std::string why = conn_ ? Trimmed(PQerrorMessage(conn_)) : "out of memory";
    PQfinish(conn_);
    conn_ = nullptr;
    throw SyncFailure(SyncFailureKind::kUnreachable, "the team server " + Printable(server) + " could not be reached: " + why);
  }
  // The server's notices (a shutdown warning, say) are not the user's
  // business: what fails is answered as a failure.
  PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
}

PgConnection::~PgConnection() { PQfinish(conn_); }

void PgConnection::Drop() {
  PQfinish(conn_);
  conn_ = nullptr;
}

void PgConnection::Fail(const std::string& what, PGresult* result) {
  const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
  SyncFailureKind kind = KindOf(state);
  if (!conn_ || PQstatus(conn_) != CONNECTION_OK) kind = SyncFailureKind::kUnreachable;
  std::string message = Trimmed(result ? PQresultErrorMessage(result) : nullptr);
  if (message.empty()) message = conn_ ? Trimmed(PQerrorMessage(conn_)) : "the connection is closed";
  PQclear(result);
  // A link that died (keepalives, a reset) is no refusal of the server's.
  const bool lost = kind == SyncFailureKind::kUnreachable && !state;
  const bool busy = state && IsBusy(state);
  throw SyncFailure(kind, (lost   ? std::string("the connection to the team server was lost")
                           : busy ? std::string("the team server was too busy to answer in time")
                                  : what) +
                              ": " + message);
}

PgResult PgConnection::Exec(const std::string& sql, const std::vector<PgValue>& params) {
  if (!conn_) Fail("the team server", nullptr);
  std::vector<const char*> values;
  for (const auto& p : params) values.push_back(p ? p->c_str() : nullptr);
  PGresult* r = params.empty() ? PQexec(conn_, sql.c_str())
                               : PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr,
                                              values.data(), nullptr, nullptr, 0);
  const auto status = r ? PQresultStatus(r) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) Fail("the team server refused", r);
  return PgResult(r);
}

void PgConnection::CopyIn(const std::string& copySql, const std::function<void(const CopyPut&)>& write) {
  if (!conn_) Fail("the team server", nullptr);
  PGresult* r = PQexec(conn_, copySql.c_str());
  if (!r || PQresultStatus(r) != PGRES_COPY_IN) Fail("the team server refused", r);
  PQclear(r);
  // Small lines gathered up to a piece; libpq counts a piece in an int.
  constexpr size_t kPiece = size_t{1} << 20;
  std::string gathered;
  const auto send = [&](std::string_view data) {
    for (size_t at = 0; at < data.size(); at += kPiece) {
      const size_t n = std::min(kPiece, data.size() - at);
      if (PQputCopyData(conn_, data.data() + at, static_cast<int>(n)) != 1) Fail("the team server", nullptr);
    }
  };
  try {
    write([&](std::string_view piece) {
      if (gathered.size() + piece.size() > kPiece) {
        send(gathered);
        gathered.clear();
      }
      if (piece.size() >= kPiece) send(piece);
      else gathered.append(piece);
    });
    send(gathered);
  } catch (...) {
    // The COPY ends as failed, so the transaction around it can roll back.
    if (conn_ && PQputCopyEnd(conn_, "the rows could not be read") == 1) {
      while (PGresult* rest = PQgetResult(conn_)) PQclear(rest);
    }
    throw;
  }
  if (PQputCopyEnd(conn_, nullptr) != 1) Fail("the team server", nullptr);
  PGresult* done = PQgetResult(conn_);
  if (!done || PQresultStatus(done) != PGRES_COMMAND_OK) Fail("the team server refused", done);
  PQclear(done);
  while (PGresult* extra = PQgetResult(conn_)) PQclear(extra);
}

PgTransaction::PgTransaction(PgConnection& conn) : conn_(conn) { conn_.Exec("BEGIN"); }

PgTransaction::~PgTransaction() {
  if (!open_) return;
  try {
    conn_.Exec("ROLLBACK");
  } catch (...) {
  }
}

void PgTransaction::Commit() {
  open_ = false;
  conn_.Exec("COMMIT");
}

}  // namespace lm::teamsync
