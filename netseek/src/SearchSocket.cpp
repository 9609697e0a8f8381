#include "SearchSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "LogTexts.h"
#include "lm/Text.h"

namespace netseek {
namespace {

sockaddr_in MakeAddress(const char* dotted, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  inet_pton(AF_INET, dotted, &address.sin_addr);
  return address;
}

bool SetNonBlocking(int fd) {
  int flags = ::fcntl(fd, F_GETFL);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool IsWouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

constexpr const char* kAnyAddress = "0.0.0.0";

// Pins the interface, allows the port to be shared between the interface's
// sockets and binds to `address`, port 62502.
bool BindTo(int fd, const std::string& address, const std::string& interface) {
  in_addr parsed{};
  if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) return false;
  if (!interface.empty() &&
      ::setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, interface.c_str(),
                   static_cast<socklen_t>(interface.size())) != 0) {
    return false;
  }
  int on = 1;
  if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return false;
  sockaddr_in local = MakeAddress(address.c_str(), kLocalPort);
  return ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

}  // namespace

std::optional<SearchSocket> SearchSocket::Open(const AdapterAddress& entry, RunLog& log) {
  if (entry.address.empty()) {
    log.Add(logtext::kBadAddress);
    return std::nullopt;
  }
  if (entry.mask.empty()) {
    log.Add(logtext::kBadMask);
    return std::nullopt;
  }
  std::optional<SearchSocket> socket = Create(log);
  if (!socket || !socket->Configure(entry.address, entry.interface, log)) return std::nullopt;
  int on = 1;
  // A refusal shows up as a send error, which is where the run handles it.
  ::setsockopt(socket->fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  return socket;
}

std::optional<SearchSocket> SearchSocket::OpenListener(const std::string& interface,
                                                       RunLog& log) {
  std::optional<SearchSocket> socket = Create(log);
  if (!socket || !socket->Configure(kAnyAddress, interface, log)) return std::nullopt;
  return socket;
}

std::optional<SearchSocket> SearchSocket::Create(RunLog& log) {
  int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    log.Add(lm::text::Format(logtext::kSocketFailed, errno));
    return std::nullopt;
  }
  return SearchSocket(fd);
}

bool SearchSocket::Configure(const std::string& address, const std::string& interface,
                             RunLog& log) {
  if (!SetNonBlocking(fd_)) {
    log.Add(lm::text::Format(logtext::kSelectFailed, errno));
    ::close(std::exchange(fd_, -1));
    return false;
  }
  if (!BindTo(fd_, address, interface)) {
    log.Add(logtext::kBindFailed);
    Close(log);
    return false;
  }
  log.Add(lm::text::Format(logtext::kSocketOpened, address.c_str(), fd_));
  return true;
}

SearchSocket::SearchSocket(SearchSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

SearchSocket& SearchSocket::operator=(SearchSocket&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

SearchSocket::~SearchSocket() {
  if (fd_ >= 0) ::close(fd_);
}

bool SearchSocket::Send(const Datagram& datagram, std::uint16_t port, RunLog& log) {
  sockaddr_in to = MakeAddress(kBroadcastAddress, port);
  ssize_t n = ::sendto(fd_, datagram.data(), datagram.size(), MSG_NOSIGNAL,
                       reinterpret_cast<const sockaddr*>(&to), sizeof to);
  if (n < 0 && !IsWouldBlock(errno)) {
    log.Add(lm::text::Format(logtext::kSendFailed, fd_, errno));
    return false;
  }
  log.Add(lm::text::Format(logtext::kSent, fd_));
  return true;
}

Reception SearchSocket::Receive(std::span<std::uint8_t> buffer) {
  sockaddr_in from{};
  socklen_t fromSize = sizeof from;
  ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), 0,
                         reinterpret_cast<sockaddr*>(&from), &fromSize);
  Reception reception;
  if (n < 0) {
    reception.error = errno;
    return reception;
  }
  reception.length = static_cast<long>(n);
  char text[INET_ADDRSTRLEN] = {};
  if (inet_ntop(AF_INET, &from.sin_addr, text, sizeof text) != nullptr) reception.sender = text;
  reception.senderPort = ntohs(from.sin_port);
  return reception;
}

int SearchSocket::TakeError() {
  int error = 0;
  socklen_t size = sizeof error;
  ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size);
  return error;
}

void SearchSocket::Close(RunLog& log) {
  if (fd_ < 0) return;
  const int fd = std::exchange(fd_, -1);
  ::shutdown(fd, SHUT_RDWR);
  ::close(fd);
  log.Add(lm::text::Format(logtext::kClosed, fd));
}

}  // namespace netseek
