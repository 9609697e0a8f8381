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

Responder::~Responder() {
  if (fd_ >= 0) ::close(fd_);
}

bool Responder::Bind() {
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  int on = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
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
    socklen_t fromSize = sizeof from;
    ssize_t n = ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                           &fromSize);
    if (n < 0) continue;
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    Record(DescribeRequest(text, ntohs(from.sin_port), buffer, static_cast<std::size_t>(n)));
    std::this_thread::sleep_for(options_.delay);
    Answer(&from, fromSize);
  }
}

void Responder::Answer(const void* to, unsigned toSize) {
  for (const auto& answer : options_.answers) {
    ::sendto(fd_, answer.data(), answer.size(), 0, static_cast<const sockaddr*>(to), toSize);
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
