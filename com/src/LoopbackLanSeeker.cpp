#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "sorrel/com/LanSeeker.h"
#include "vcomm/UniqueFd.h"

namespace Sorrel {
namespace {

constexpr size_t kDatagramSize = 256;
constexpr int32_t kBadArgument = -10;
constexpr int32_t kNotSent = -2;

bool IsSearchAnswer(const std::string& d) {
  return d.size() == kDatagramSize && static_cast<unsigned char>(d[0]) == 0x50 && d[1] == 1 && d[2] == 1 && d[3] == 0;
}

// The same unit answers with the same MAC and IPv4 address (bytes 6 to 15).
bool SameUnit(const std::string& a, const std::string& b) { return a.compare(6, 10, b, 6, 10) == 0; }

vcomm::UniqueFd LoopbackSocket() {
  vcomm::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd && ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) fd.Reset();
  return fd;
}

}  // namespace

int32_t LoopbackLanSeeker::DoSearch(void* parent, uint16_t, int32_t timeLimitSec) {
  if (parent == nullptr || timeLimitSec <= 0 || timeLimitSec > 10) return kBadArgument;
  answers_.clear();
  vcomm::UniqueFd fd = LoopbackSocket();
  if (!fd) return kNotSent;
  std::string request(kDatagramSize, '\0');
  request[0] = 0x50;
  request[1] = 1;
  request[2] = 1;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(responderPort_);
  if (::sendto(fd.Get(), request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
    return kNotSent;
  }
  // Like a search on the network, this one ends when its time is up.
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeLimitSec);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd.Get(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[1024];
    const ssize_t got = ::recv(fd.Get(), buffer, sizeof buffer, 0);
    if (got < 0) continue;
    std::string answer(buffer, static_cast<size_t>(got));
    if (!IsSearchAnswer(answer)) continue;
    if (std::none_of(answers_.begin(), answers_.end(), [&](const std::string& a) { return SameUnit(a, answer); })) {
      answers_.push_back(std::move(answer));
    }
  }
  return static_cast<int32_t>(answers_.size());
}

bool LoopbackLanSeeker::GetSearchInfo(uint32_t index, LanSearchRecord& r) {
  if (index >= answers_.size()) return false;
  const char* d = answers_[index].data();
  r = LanSearchRecord{};
  std::memcpy(&r.ipAddr, d + 12, 4);
  std::memcpy(&r.value16, d + 16, 4);
  std::memcpy(&r.value20, d + 20, 4);
  std::memcpy(&r.value24, d + 24, 4);
  std::memcpy(&r.value28, d + 28, 4);
  std::memcpy(r.mac, d + 6, 6);
  r.setting = static_cast<uint8_t>(d[5]);
  std::memcpy(&r.port, d + 32, 2);
  std::memcpy(r.serial, d + 34, 8);
  std::memcpy(r.name, d + 42, 32);
  std::memcpy(r.descr, d + 74, 64);
  return true;
}

}  // namespace Sorrel
