#include "Responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

namespace netseek::test {
namespace {

constexpr std::uint16_t kSearchSidePort = 62502;

int ArrivalInterface(msghdr& message) {
  for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
       header = CMSG_NXTHDR(&message, header)) {
    if (header->cmsg_level != IPPROTO_IP || header->cmsg_type != IP_PKTINFO) continue;
    in_pktinfo info;
    std::memcpy(&info, CMSG_DATA(header), sizeof info);
    return info.ipi_ifindex;
  }
  return 0;
}

}  // namespace

Responder::~Responder() {
  if (fd_ >= 0) ::close(fd_);
}

bool Responder::Bind() {
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  int on = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  ::setsockopt(fd_, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);  // the arrival interface
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(options_.port);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  return ::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
}

void Responder::Serve() {
  const auto end = std::chrono::steady_clock::now() + options_.lifetime;
  std::uint8_t buffer[2048];
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    sockaddr_in from{};
    iovec data{buffer, sizeof buffer};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    msghdr message{&from, sizeof from, &data, 1, control, sizeof control, 0};
    ssize_t n = ::recvmsg(fd_, &message, 0);
    if (n < 0) continue;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    Record(DescribeRequest(text, ntohs(from.sin_port), buffer, static_cast<std::size_t>(n)));
    std::this_thread::sleep_for(options_.delay);
    Answer(&from, message.msg_namelen, ArrivalInterface(message));
  }
}

void Responder::Answer(const void* to, unsigned toSize, int arrivalInterface) {
  if (options_.answerTo.empty()) {
    SendAnswers(to, toSize, 0);
    return;
  }
  for (const std::string& address : options_.answerTo) {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(kSearchSidePort);
    inet_pton(AF_INET, address.c_str(), &destination.sin_addr);
    // 255.255.255.255 has no route; it leaves on the interface named here.
    SendAnswers(&destination, sizeof destination, arrivalInterface);
  }
}

void Responder::SendAnswers(const void* to, unsigned toSize, int viaInterface) {
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
  for (const auto& answer : options_.answers) {
    iovec data{const_cast<std::uint8_t*>(answer.data()), answer.size()};
    msghdr message{const_cast<void*>(to), toSize, &data, 1, nullptr, 0, 0};
    if (viaInterface > 0) {
      message.msg_control = control;
      message.msg_controllen = sizeof control;
      cmsghdr* header = CMSG_FIRSTHDR(&message);
      header->cmsg_level = IPPROTO_IP;
      header->cmsg_type = IP_PKTINFO;
      header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
      in_pktinfo info{};
      info.ipi_ifindex = viaInterface;
      std::memcpy(CMSG_DATA(header), &info, sizeof info);
    }
    ::sendmsg(fd_, &message, 0);
  }
}

void Responder::Record(const std::string& line) const {
  if (options_.requestLog.empty()) return;
  std::ofstream out(options_.requestLog, std::ios::app);
  out << line << '\n';
}

std::string Responder::DescribeRequest(const std::string& sender, std::uint16_t port,
                                       const std::uint8_t* bytes, std::size_t length) {
  std::string line = sender + ":" + std::to_string(port) + " " + std::to_string(length) + " ";
  char hex[3];
  for (std::size_t i = 0; i < length; ++i) {
    std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
    line += hex;
  }
  return line;
}

bool ParseResponderArgs(int argc, char** argv, ResponderOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--port" && hasValue) {
      options.port = static_cast<std::uint16_t>(std::stoi(argv[++i]));
    } else if (arg == "--lifetime-ms" && hasValue) {
      options.lifetime = std::chrono::milliseconds(std::stoi(argv[++i]));
    } else if (arg == "--delay-ms" && hasValue) {
      options.delay = std::chrono::milliseconds(std::stoi(argv[++i]));
    } else if (arg == "--requests" && hasValue) {
      options.requestLog = argv[++i];
    } else if (arg == "--answer-to" && hasValue) {
      in_addr parsed{};
      if (inet_pton(AF_INET, argv[i + 1], &parsed) != 1) return false;
      options.answerTo.push_back(argv[++i]);
    } else if (arg.starts_with("--")) {
      return false;
    } else {
      std::ifstream in(arg, std::ios::binary);
      if (!in) return false;
      options.answers.emplace_back(std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>());
    }
  }
  return true;
}

}  // namespace netseek::test
