#include "lm/monitor/loop/StopSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <system_error>

namespace lm::monitor {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};
constexpr unsigned char kQuit = 0;  // from the destructor: the watcher ends

std::atomic<int> g_writeFd{-1};
struct sigaction g_before[2];

void OnStopSignal(int signal) {
  const int saved = errno;
  const int fd = g_writeFd.load();
  if (fd >= 0) {
    const auto byte = static_cast<unsigned char>(signal);
    (void)!write(fd, &byte, 1);
  }
  errno = saved;
}

}  // namespace

StopSignals::StopSignals(CancelToken& token) : token_(token) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe2");
  readFd_ = fds[0];
  writeFd_ = fds[1];
  // A handler never blocks, even on a pipe filled by a storm of signals.
  fcntl(writeFd_, F_SETFL, fcntl(writeFd_, F_GETFL) | O_NONBLOCK);
  int expected = -1;
  if (!g_writeFd.compare_exchange_strong(expected, writeFd_)) {
    close(readFd_);
    close(writeFd_);
    throw std::logic_error("StopSignals: one at a time");
  }
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &action, &g_before[i]);
  watcher_ = std::thread([this] { Watch(); });
}

StopSignals::~StopSignals() {
  for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &g_before[i], nullptr);
  const unsigned char quit = kQuit;
  (void)!write(writeFd_, &quit, 1);
  watcher_.join();
  g_writeFd.store(-1);
  close(readFd_);
  close(writeFd_);
}

void StopSignals::Watch() {
  for (;;) {
    unsigned char byte = 0;
    const ssize_t n = read(readFd_, &byte, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || byte == kQuit) return;
    int none = 0;
    received_.compare_exchange_strong(none, byte);
    token_.Cancel();
  }
}

}  // namespace lm::monitor
