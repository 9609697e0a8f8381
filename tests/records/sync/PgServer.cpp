#include "PgServer.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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
  Watch();
  Run(std::string(kBin) + "initdb -D " + Quoted((folder_ / "data").string()) +
      " -A trust -U lmadmin -E UTF8 --no-locale >/dev/null");
  Start();
}

PgServer::~PgServer() {
  try {
    Stop();
  } catch (...) {
  }
  if (watchdog_ > 0) {
    close(alive_);
    waitpid(watchdog_, nullptr, 0);
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

// A process of its own session waits for this one to end, however it ends
// (a test killed for its time included), then stops the server and removes
// its folder: no server outlives its test.
void PgServer::Watch() {
  const std::string data = Quoted((folder_ / "data").string());
  const std::string stop = (geteuid() == 0 ? "runuser -u nobody -- " : "") + std::string(kBin) + "pg_ctl -D " + data +
                           " -m immediate stop >/dev/null 2>&1; rm -rf " + Quoted(folder_.string());
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) return;
  const pid_t pid = fork();
  if (pid == 0) {  // only async-signal-safe calls until exec
    close(ends[1]);
    setsid();
    char byte;
    for (;;) {
      const ssize_t n = read(ends[0], &byte, 1);
      if (n == 0 || (n < 0 && errno != EINTR)) break;
    }
    execl("/bin/sh", "sh", "-c", stop.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(ends[0]);
  if (pid < 0) {
    close(ends[1]);
    return;
  }
  alive_ = ends[1];
  watchdog_ = pid;
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
