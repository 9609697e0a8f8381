#include "linkmeter/sim/StreamServer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "vantor/com/TFrameReader.h"

namespace linkmeter::sim {
namespace {

constexpr std::size_t kRequestCapacity = 1 << 20;

// Waits for bytes on fd; false on stop, close or error.
bool ReadSome(int fd, const StopSignal& stop, std::string& out) {
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {stop.Fd(), POLLIN, 0}};
    int n = ::poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || stop.Raised() || (fds[1].revents & POLLIN)) return false;
    char buffer[4096];
    ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    out.assign(buffer, static_cast<std::size_t>(got));
    return true;
  }
}

// Sends a reply after its delay; false when the connection is to end.
bool Deliver(int fd, const Reply& reply, const StopSignal& stop, Transcript& transcript, std::uint32_t unit) {
  if (reply.delayMs > 0 && !stop.Wait(reply.delayMs)) return false;
  if (!reply.bytes.empty()) {
    if (!SendAll(fd, reply.bytes)) return false;
    transcript.Sent(unit, reply.bytes);
  }
  return !reply.close;
}

}  // namespace

StopSignal::StopSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void StopSignal::Raise() {
  raised_ = true;
  std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(fd_.Get(), &one, sizeof one);
}

bool StopSignal::Wait(int ms) const {
  auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (raised_) return false;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    pollfd fds[1] = {{fd_.Get(), POLLIN, 0}};
    ::poll(fds, 1, static_cast<int>(left.count()));
  }
}

bool SendAll(int fd, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

void ServeStream(vcomm::UniqueFd fd, UnitSession& session, const StreamRules& rules, const StopSignal& stop,
                 Transcript& transcript, std::uint32_t unit) {
  com::vantor::TFrameReader reader;
  bool loggedIn = !rules.login;
  std::string chunk;
  com::vantor::Bytes frame;
  for (;;) {
    auto status = reader.Next(kRequestCapacity, frame);
    if (status == com::vantor::TFrameReader::Status::kFrame) {
      bool accepted = true;
      Reply reply = loggedIn ? session.Answer(frame) : session.Login(frame, accepted);
      if (!Deliver(fd.Get(), reply, stop, transcript, unit) || !accepted) break;
      loggedIn = true;
      continue;
    }
    if (status == com::vantor::TFrameReader::Status::kInvalid) {
      transcript.Note(unit, "bytes that start no frame dropped");
    }
    if (!ReadSome(fd.Get(), stop, chunk)) break;
    reader.Append(chunk);
  }
  transcript.Note(unit, "connection closed");
}

void ConnectionPool::Run(std::function<void(const StopSignal& stop)> serve) {
  std::lock_guard lock(mutex_);
  ReapFinished();
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::thread thread([this, serve = std::move(serve), done] {
    serve(stop_);
    *done = true;
  });
  workers_.push_back({std::move(thread), done});
}

void ConnectionPool::ReapFinished() {
  for (auto it = workers_.begin(); it != workers_.end();) {
    if (*it->done) {
      it->thread.join();
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

void ConnectionPool::Stop() {
  stop_.Raise();
  // An accepting worker may add a connection while the others are joined,
  // so go round until nothing is left.
  for (;;) {
    std::list<Worker> workers;
    {
      std::lock_guard lock(mutex_);
      workers.swap(workers_);
    }
    if (workers.empty()) return;
    for (auto& w : workers) w.thread.join();
  }
}

}  // namespace linkmeter::sim
