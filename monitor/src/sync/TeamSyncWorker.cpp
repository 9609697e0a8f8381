#include "lm/monitor/sync/TeamSyncWorker.h"

#include <condition_variable>
#include <mutex>
#include <ostream>
#include <set>

#include "lm/monitor/loop/Backoff.h"
#include "lm/monitor/loop/MonitorLog.h"
#include "lm/teamsync/SyncFailure.h"
#include "lm/teamsync/TeamSync.h"

namespace lm::monitor {

struct TeamSyncWorker::Shared {
  SyncSettings settings;
  std::filesystem::path store;
  std::ostream& log;
  std::mutex mutex;
  std::condition_variable changed;
  std::set<int64_t> wanted;
  bool stop = false;
  bool busy = false;
  SyncTotals totals;

  Shared(SyncSettings s, std::filesystem::path file, std::ostream& out)
      : settings(std::move(s)), store(std::move(file)), log(out) {}
  void Line(const std::string& text) {
    log << (UtcText(std::chrono::system_clock::now()) + " " + text + "\n") << std::flush;
  }
};

namespace {

using Clock = std::chrono::steady_clock;

struct Stopped {};

std::string SerialText(int64_t serial) {
  char text[16];
  std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(serial));
  return text;
}

std::string Seconds(std::chrono::milliseconds ms) { return std::to_string((ms.count() + 999) / 1000) + "s"; }

// One try for one site: "" when done, else why not.
std::string TryOnce(TeamSyncWorker::Shared& s, int64_t serial) {
  const auto started = Clock::now();
  try {
    lm::teamsync::TeamSync sync(s.store, s.settings.server, SessionLimits(s.settings));
    const auto counts = sync.Run(serial, [&s](const lm::teamsync::SyncProgress&) {
      std::lock_guard lock(s.mutex);
      if (s.stop) throw Stopped{};
    });
    std::unique_lock lock(s.mutex);
    if (!s.stop && (counts.pushedVisits > 0 || counts.pulledVisits > 0 || !counts.setAside.empty())) {
      lock.unlock();
      const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
      s.Line("sync site=" + SerialText(serial) + " sent=" + std::to_string(counts.pushedVisits) +
             " fetched=" + std::to_string(counts.pulledVisits) + " duration=" + Seconds(took) +
             (counts.setAside.empty() ? "" : " set-aside=" + std::to_string(counts.setAside.size())));
      // A visit set aside waits for an administrator: named once per try.
      for (const auto& v : counts.setAside) {
        s.Line("sync site=" + SerialText(serial) + " set-aside visit=" + v.visit + " why=" + QuotedLogWord(v.reason));
      }
    }
    return "";
  } catch (const Stopped&) {
    return "stopped";
  } catch (const std::exception& e) {
    return e.what();
  }
}

void Work(const std::shared_ptr<TeamSyncWorker::Shared>& shared) {
  TeamSyncWorker::Shared& s = *shared;
  Backoff backoff(s.settings.firstRetry, s.settings.retryCeiling);
  Clock::time_point nextTry = Clock::now();
  std::unique_lock lock(s.mutex);
  for (;;) {
    s.changed.wait_until(lock, nextTry, [&] { return s.stop || (!s.wanted.empty() && Clock::now() >= nextTry); });
    if (s.stop) return;
    if (s.wanted.empty() || Clock::now() < nextTry) continue;
    const int64_t serial = *s.wanted.begin();
    s.wanted.erase(s.wanted.begin());
    s.busy = true;
    lock.unlock();
    const std::string why = TryOnce(s, serial);
    lock.lock();
    s.busy = false;
    s.changed.notify_all();
    if (s.stop) return;
    if (why.empty()) {
      ++s.totals.done;
      backoff.Reset();
      continue;
    }
    ++s.totals.failed;
    s.wanted.insert(serial);  // the next round's request or the back-off tries it again
    const auto wait = backoff.Next();
    nextTry = Clock::now() + wait;
    lock.unlock();
    s.Line("sync site=" + SerialText(serial) + " failed=" + QuotedLogWord(why) + " retry=" + Seconds(wait));
    lock.lock();
  }
}

}  // namespace

lm::teamsync::PgSessionLimits SessionLimits(const SyncSettings& settings) {
  lm::teamsync::PgSessionLimits limits;
  limits.statementTimeoutMs = static_cast<int>(settings.statementTimeout.count());
  limits.lockTimeoutMs = static_cast<int>(settings.lockTimeout.count());
  limits.verifiedTlsOnly = !settings.acceptUnverifiedTls;
  return limits;
}

TeamSyncWorker::TeamSyncWorker(SyncSettings settings, std::filesystem::path storeFile, std::ostream& log)
    : shared_(std::make_shared<Shared>(std::move(settings), std::move(storeFile), log)) {
  thread_ = std::thread([shared = shared_] { Work(shared); });
}

TeamSyncWorker::~TeamSyncWorker() { Stop(std::chrono::milliseconds(500)); }

void TeamSyncWorker::Request(int64_t siteSerial) {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->wanted.insert(siteSerial);
  }
  shared_->changed.notify_all();
}

bool TeamSyncWorker::Stop(std::chrono::milliseconds grace) {
  if (!thread_.joinable()) return false;
  std::unique_lock lock(shared_->mutex);
  shared_->stop = true;
  shared_->changed.notify_all();
  const bool done = shared_->changed.wait_for(lock, grace, [this] { return !shared_->busy; });
  lock.unlock();
  if (done) {
    thread_.join();
    return false;
  }
  // Blocked in the server's answer: the thread owns what it uses and ends
  // with the process; nothing it does after the stop is logged.
  thread_.detach();
  return true;
}

SyncTotals TeamSyncWorker::Totals() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->totals;
}

}  // namespace lm::monitor
