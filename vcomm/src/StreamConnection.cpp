#include "StreamConnection.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "vcomm/Vcomm.h"

namespace vcomm {
namespace {

constexpr std::size_t kChunkSize = 65536;
constexpr int kMaxDrainChunks = 64;
constexpr int kSendTimeoutSeconds = 5;

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

StreamConnection::StreamConnection(UniqueFd stream) : stream_(std::move(stream)) {
  // A peer that stops reading must not hold a sender forever.
  timeval limit{kSendTimeoutSeconds, 0};
  ::setsockopt(stream_.Get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
}

int StreamConnection::Send(std::string_view bytes) {
  std::lock_guard lock(mutex_);
  while (!bytes.empty()) {
    ssize_t sent = ::send(stream_.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return VCOMM_SEND_ERR;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return 0;
}

int StreamConnection::Receive(char* frame, std::size_t capacity, int timeoutMs) {
  std::lock_guard lock(mutex_);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    bool done = false;
    int result = TakeFrame(frame, capacity, done);
    if (done) return result;
    if (peerClosed_) {
      reader_.Reset();
      return VCOMM_RECVDATA_ERR;
    }
    ReadResult read = ReadSome(MillisecondsUntil(deadline));
    if (read == ReadResult::kTimeout) return VCOMM_TIMEOUT_ERR;
    if (read == ReadResult::kClosed) peerClosed_ = true;
  }
}

int StreamConnection::TakeFrame(char* frame, std::size_t capacity, bool& done) {
  com::vantor::Bytes taken;
  done = true;
  switch (reader_.Next(capacity, taken)) {
    case com::vantor::TFrameReader::Status::kFrame:
      std::memcpy(frame, taken.data(), taken.size());
      return static_cast<int>(taken.size());
    case com::vantor::TFrameReader::Status::kInvalid:
      DiscardPending();
      return VCOMM_RECVDATA_ERR;
    case com::vantor::TFrameReader::Status::kOversize:
      return VCOMM_RECVSIZE_ERR;
    case com::vantor::TFrameReader::Status::kNeedMore:
      break;
  }
  done = false;
  return 0;
}

StreamConnection::ReadResult StreamConnection::ReadSome(int timeoutMs) {
  pollfd waiting{stream_.Get(), POLLIN, 0};
  int ready = ::poll(&waiting, 1, timeoutMs);
  if (ready < 0 && errno == EINTR) return ReadResult::kData;  // the caller loops with the time left
  if (ready == 0) return ReadResult::kTimeout;
  if (ready < 0) return ReadResult::kClosed;
  std::array<char, kChunkSize> chunk;
  ssize_t got = ::recv(stream_.Get(), chunk.data(), chunk.size(), MSG_DONTWAIT);
  if (got < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return ReadResult::kData;
  if (got <= 0) return ReadResult::kClosed;
  reader_.Append(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
  return ReadResult::kData;
}

void StreamConnection::DropReceived() {
  std::lock_guard lock(mutex_);
  DiscardPending();
}

void StreamConnection::DiscardPending() {
  reader_.Clear();
  std::array<char, kChunkSize> chunk;
  for (int i = 0; i < kMaxDrainChunks; ++i) {
    ssize_t got = ::recv(stream_.Get(), chunk.data(), chunk.size(), MSG_DONTWAIT);
    if (got == 0) peerClosed_ = true;
    if (got <= 0) break;
    // Through the reader, so the rest of an oversize frame is accounted for.
    reader_.Append(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
    reader_.Clear();
  }
}

void StreamConnection::Shutdown() { ::shutdown(stream_.Get(), SHUT_RDWR); }

}  // namespace vcomm
