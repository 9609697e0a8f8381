#include "LanConnector.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <vector>

#include "vantor/com/TFrame.h"
#include "vcomm/Vcomm.h"

namespace vcomm {
namespace {

constexpr char kAccepted[] = "0000-0000";

bool SetBlocking(int fd, bool blocking) {
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
  return ::fcntl(fd, F_SETFL, flags) == 0;
}

// Waits for a non-blocking connect to finish; true when it succeeded.
bool FinishConnect(int fd, int timeoutMs) {
  pollfd waiting{fd, POLLOUT, 0};
  int ready;
  do {
    ready = ::poll(&waiting, 1, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return false;
  int error = 0;
  socklen_t size = sizeof(error);
  return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

}  // namespace

LanConnector::LanConnector(std::string address, int port, std::string password)
    : address_(std::move(address)), port_(port), password_(std::move(password)) {}

LanOpenResult LanConnector::Open() const {
  if (port_ <= 0 || port_ > 0xFFFF || password_.size() > 0xFFFF) return {VCOMM_ARGUMENT_ERR, nullptr};
  int error = 0;
  UniqueFd stream = Connect(error);
  if (!stream) return {error, nullptr};
  auto connection = std::make_shared<StreamConnection>(std::move(stream));
  if (int login = LogIn(*connection); login != 0) return {login, nullptr};
  return {0, std::move(connection)};
}

UniqueFd LanConnector::Connect(int& error) const {
  error = VCOMM_CONNECT_ERR;
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<std::uint16_t>(port_));
  // Numeric addresses only: a name lookup could wait far past the limit.
  if (::inet_pton(AF_INET, address_.c_str(), &peer.sin_addr) != 1) return {};
  UniqueFd stream(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!stream) return {};
  int started = ::connect(stream.Get(), reinterpret_cast<sockaddr*>(&peer), sizeof(peer));
  if (started != 0 && (errno != EINPROGRESS || !FinishConnect(stream.Get(), kConnectTimeoutMs))) return {};
  if (!SetBlocking(stream.Get(), true)) return {};
  int one = 1;
  ::setsockopt(stream.Get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
  error = 0;
  return stream;
}

int LanConnector::LogIn(StreamConnection& connection) const {
  auto request = com::vantor::BuildFrame("LOGIN", {{"PW", password_}});
  if (!request || connection.Send(*request) != 0) return VCOMM_LOGIN_TR_ERR;
  std::vector<char> answer(VCOMM_RECV_CAPACITY);
  int size = connection.Receive(answer.data(), answer.size(), kLoginTimeoutMs);
  if (size < 0) return VCOMM_LOGIN_TR_ERR;
  auto body = com::vantor::ParseFrame(std::string_view(answer.data(), static_cast<std::size_t>(size)));
  if (!body || body->name != "LOGIN") return VCOMM_LOGIN_TR_ERR;
  auto status = body->Find("STATUS");
  return status && *status == kAccepted ? 0 : VCOMM_LOGIN_ERR;
}

}  // namespace vcomm
