// A writer killed mid-survey loses nothing it committed; two processes
// writing one store at once leave it whole. Children are forked before the
// test process opens any connection, and every wait is bounded.
#include <gtest/gtest.h>

#include <cstdio>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "RecordsTestSupport.h"

namespace lm::records::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Waits for a child at most `limit`; kills it past that. Its exit status,
// or -1 when it had to be killed.
int WaitBounded(pid_t pid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(10ms);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The child: records probes of one survey, `perCommit` per call, telling
// the parent after each commit how many are on disk. Never returns.
[[noreturn]] void RecordProbesForever(const fs::path& folder, int perCommit, int reportFd) {
  alarm(60);  // never outlive a broken test
  auto opened = RecordStore::Open(folder);
  if (!opened) _exit(2);
  auto& store = **opened;
  const RowId visit = *store.StartVisit({kSiteSerial, "", ""}, {1000, "", "", ""});
  const RowId survey = *store.BeginSurvey(visit, SampleSurvey(1001));
  for (int32_t done = 0;;) {
    std::vector<Probe> batch;
    for (int i = 0; i < perCommit; ++i, ++done) {
      batch.push_back({done / 20, done % 20, 2000 + done, true, Bytes(48, static_cast<uint8_t>(done))});
    }
    if (!store.AddProbes(survey, batch)) _exit(3);
    if (write(reportFd, &done, sizeof done) != sizeof done) _exit(4);
  }
}

TEST(RecordsReliability, KilledWriterLosesNoCommittedProbe) {
  for (int perCommit : {1, 20}) {
    SCOPED_TRACE(perCommit);
    ScratchDir dir;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      RecordProbesForever(dir.path(), perCommit, fds[1]);
    }
    close(fds[1]);
    // Kill it at an arbitrary point well into the survey.
    int32_t committed = 0;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (committed < 400 && std::chrono::steady_clock::now() < deadline) {
      if (read(fds[0], &committed, sizeof committed) != sizeof committed) break;
    }
    kill(child, SIGKILL);
    WaitBounded(child, 10s);
    // Reports written before the kill and not yet read only raise the count.
    for (int32_t more = 0; read(fds[0], &more, sizeof more) == sizeof more;) committed = more;
    close(fds[0]);
    ASSERT_GE(committed, 400) << "the child did not get far enough";

    const fs::path store = dir / kStoreFileName;
    EXPECT_EQ(IntegrityCheck(store), "ok");
    const int64_t kept = CountRows(store, "probes");
    EXPECT_GE(kept, committed);
    EXPECT_LE(kept, committed + perCommit) << "at most the batch being written when killed";
    // None missing in between.
    EXPECT_EQ(CountRows(store, "probes WHERE route * 20 + seq < " + std::to_string(committed)), committed);
  }
}

// The child: its own visit and `count` single-probe commits, reading the
// visit list between them as the window would.
[[noreturn]] void WriteVisit(const fs::path& folder, Millis startedAt, int count) {
  alarm(60);
  auto opened = RecordStore::Open(folder);
  if (!opened) {
    std::fprintf(stderr, "open failed: %s\n", opened.error().message.c_str());
    _exit(2);
  }
  auto& store = **opened;
  auto visit = store.StartVisit({kSiteSerial, "North plant", ""}, {startedAt, "", "", ""});
  if (!visit) _exit(3);
  const RowId survey = *store.BeginSurvey(*visit, SampleSurvey(startedAt));
  for (int i = 0; i < count; ++i) {
    const Probe probe{i / 10, i % 10, startedAt + i, true, Bytes(16, 1)};
    if (!store.AddProbes(survey, std::span(&probe, 1))) _exit(4);
    if (i % 10 == 0 && !store.ListVisits(kSiteSerial)) _exit(5);
    if (i % 50 == 0 && !store.AddSettingsWrite(*visit, SampleWrite(startedAt + i))) _exit(6);
  }
  _exit(store.EndVisit(*visit, startedAt + count) ? 0 : 7);
}

TEST(RecordsReliability, TwoProcessesWritingAtOnceLeaveTheStoreWhole) {
  ScratchDir dir;  // no store yet: both also race to create it
  constexpr int kEach = 200;
  pid_t children[2];
  for (int i = 0; i < 2; ++i) {
    children[i] = fork();
    ASSERT_GE(children[i], 0);
    if (children[i] == 0) WriteVisit(dir.path(), 1000 * (i + 1), kEach);
  }
  for (pid_t child : children) EXPECT_EQ(WaitBounded(child, 60s), 0);

  const fs::path store = dir / kStoreFileName;
  EXPECT_EQ(IntegrityCheck(store), "ok");
  EXPECT_EQ(CountRows(store, "probes"), 2 * kEach);
  EXPECT_EQ(CountRows(store, "visits WHERE ended_at IS NOT NULL"), 2);
  EXPECT_EQ(CountRows(store, "sites"), 1);
  EXPECT_EQ(CountRows(store, "settings_writes"), 2 * (kEach / 50));
}

}  // namespace
}  // namespace lm::records::test
