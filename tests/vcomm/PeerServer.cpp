#include "PeerServer.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <stdexcept>

#include "vantor/com/TFrameReader.h"

namespace vcomm::testing {

using com::vantor::Bytes;

std::unique_ptr<PeerServer> PeerServer::Loopback(Script script) {
  UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof(address);
  if (::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(listener.Get(), 128) != 0 ||
      ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    throw std::runtime_error("cannot listen on loopback");
  }
  auto server = std::make_unique<PeerServer>(listener.Get(), std::move(script));
  server->ownedListener_ = std::move(listener);
  server->port_ = ntohs(address.sin_port);
  return server;
}

PeerServer::PeerServer(int listenFd, Script script) : listenFd_(listenFd), script_(std::move(script)) {
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

PeerServer::~PeerServer() { Stop(); }

void PeerServer::AcceptLoop() {
  while (!stopping_) {
    pollfd waiting{listenFd_, POLLIN, 0};
    if (::poll(&waiting, 1, 20) <= 0) continue;
    int stream = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (stream < 0) continue;
    ++accepted_;
    std::lock_guard lock(mutex_);
    streams_.push_back(stream);
    workers_.emplace_back([this, stream] { script_(stream); });
  }
}

void PeerServer::Stop() {
  if (stopping_.exchange(true)) return;
  acceptor_.join();
  std::lock_guard lock(mutex_);
  for (int stream : streams_) ::shutdown(stream, SHUT_RDWR);
  for (std::thread& worker : workers_) worker.join();
  for (int stream : streams_) ::close(stream);
}

bool ReadFrame(int fd, Bytes& frame, int timeoutMs) {
  static thread_local com::vantor::TFrameReader reader;
  for (;;) {
    switch (reader.Next(1 << 20, frame)) {
      case com::vantor::TFrameReader::Status::kFrame: return true;
      case com::vantor::TFrameReader::Status::kNeedMore: break;
      default: return false;
    }
    pollfd waiting{fd, POLLIN, 0};
    if (::poll(&waiting, 1, timeoutMs) <= 0) return false;
    std::array<char, 4096> chunk;
    ssize_t got = ::recv(fd, chunk.data(), chunk.size(), 0);
    if (got <= 0) {
      reader.Reset();
      return false;
    }
    reader.Append(std::string_view(chunk.data(), static_cast<std::size_t>(got)));
  }
}

com::vantor::TBody ReadRequest(int fd, int timeoutMs) {
  Bytes frame;
  if (!ReadFrame(fd, frame, timeoutMs)) return {};
  auto body = com::vantor::ParseFrame(frame);
  return body ? *body : com::vantor::TBody{};
}

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
}

Bytes Frame(const std::string& name, const com::vantor::FieldMap& fields, com::vantor::LengthForm form) {
  return *com::vantor::BuildFrame(name, fields, form);
}

void AnswerLogin(int fd, const std::string& status) {
  if (ReadRequest(fd).name == "LOGIN") WriteAll(fd, Frame("LOGIN", {{"STATUS", status}}));
}

void EchoUntilClosed(int fd) {
  for (;;) {
    auto request = ReadRequest(fd, 5000);
    if (request.name.empty()) return;
    WriteAll(fd, Frame(request.name, {{"STATUS", "0004-0000"}}));
  }
}

int OpenDescriptorCount() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/fd")) {
    while (::readdir(dir)) ++count;
    ::closedir(dir);
  }
  return count;
}

}  // namespace vcomm::testing
