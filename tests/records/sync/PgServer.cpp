#include "PgServer.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace lm::teamsync::test {
namespace {

constexpr const char* kBin = "/usr/lib/postgresql/15/bin/";
constexpr int kPort = 5432;  // names the socket file; the folder is the test's own

std::string Quoted(const std::string& s) { return "'" + s + "'"; }

}  // namespace

PgServer::PgServer() {
  std::string pattern = (std::filesystem::temp_directory_path() / "lm-pg-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
  if (geteuid() == 0 && std::system(("chown nobody:nogroup " + Quoted(folder_.string())).c_str()) != 0) {
    throw std::runtime_error("chown of the server's folder failed");
  }
  Run(std::string(kBin) + "initdb -D " + Quoted((folder_ / "data").string()) +
      " -A trust -U lmadmin -E UTF8 --no-locale >/dev/null");
  Start();
}

PgServer::~PgServer() {
  try {
    Stop();
  } catch (...) {
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void PgServer::Run(const std::string& command) const {
  const std::string line = (geteuid() == 0 ? "runuser -u nobody -- " : "") + command;
  if (std::system(line.c_str()) != 0) throw std::runtime_error("failed: " + line);
}

void PgServer::Start() {
  const std::string options = "-k " + folder_.string() + " -c listen_addresses='' -p " + std::to_string(kPort) +
                              " -c fsync=off";
  Run(std::string(kBin) + "pg_ctl -D " + Quoted((folder_ / "data").string()) + " -w -t 60 -l " +
      Quoted((folder_ / "log").string()) + " -o \"" + options + "\" start >/dev/null");
  running_ = true;
}

void PgServer::Stop() {
  if (!running_) return;
  running_ = false;
  Run(std::string(kBin) + "pg_ctl -D " + Quoted((folder_ / "data").string()) + " -m immediate stop >/dev/null");
}

std::string PgServer::Uri(const std::string& db, const std::string& user) const {
  return "postgresql://" + user + "@/" + db + "?host=" + folder_.string() + "&port=" + std::to_string(kPort);
}

}  // namespace lm::teamsync::test
