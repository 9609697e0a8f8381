#include "lm/teamsync/PgConnection.h"

#include <algorithm>

#include <libpq-fe.h>

#include "lm/teamsync/SyncFailure.h"

namespace lm::teamsync {
namespace {

bool IsSettings(const std::string& server) {
  return server.rfind("postgresql://", 0) == 0 || server.rfind("postgres://", 0) == 0 ||
         server.find('=') != std::string::npos;
}

SyncFailureKind KindOf(const char* sqlState) {
  const std::string state = sqlState ? sqlState : "";
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

}  // namespace

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
    throw SyncFailure(SyncFailureKind::kUsage, "the team server " + server + " is not a service name or URI: " + why);
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

PgConnection::PgConnection(const std::string& server) {
  const std::string info = ConnInfo(server);
  const char* keys[] = {"connect_timeout", "application_name", "client_encoding", "dbname", nullptr};
  const char* values[] = {"10", "linkmeter", "UTF8", info.c_str(), nullptr};
  conn_ = PQconnectdbParams(keys, values, 1);
  if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
    const std::string why = conn_ ? Trimmed(PQerrorMessage(conn_)) : "out of memory";
    PQfinish(conn_);
    conn_ = nullptr;
    throw SyncFailure(SyncFailureKind::kUnreachable, "the team server " + server + " could not be reached: " + why);
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
  throw SyncFailure(kind, what + ": " + message);
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

void PgConnection::CopyIn(const std::string& copySql, const std::string& data) {
  if (!conn_) Fail("the team server", nullptr);
  PGresult* r = PQexec(conn_, copySql.c_str());
  if (!r || PQresultStatus(r) != PGRES_COPY_IN) Fail("the team server refused", r);
  PQclear(r);
  // In pieces: libpq counts a piece in an int, and a visit with large plans
  // can send more than 2 GiB.
  constexpr size_t kPiece = size_t{1} << 20;
  for (size_t at = 0; at < data.size(); at += kPiece) {
    const size_t n = std::min(kPiece, data.size() - at);
    if (PQputCopyData(conn_, data.data() + at, static_cast<int>(n)) != 1) Fail("the team server", nullptr);
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
