#include "linkmeter/sim/UdpResponder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

#include "lm/Text.h"

namespace linkmeter::sim {
namespace {

constexpr unsigned char kMagic = 0x50, kVersion = 1, kSearch = 1, kSetParameters = 2;

std::string Ipv4Bytes(const std::string& dotted) {
  in_addr a{};
  if (::inet_pton(AF_INET, dotted.c_str(), &a) != 1) return std::string(4, '\0');
  return std::string(reinterpret_cast<const char*>(&a), 4);
}

std::string Dotted(const std::string& datagram, std::size_t offset) {
  const auto* b = reinterpret_cast<const unsigned char*>(datagram.data() + offset);
  return lm::text::Format("%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
}

std::string Describe(const LanAnnouncement& a, unsigned char command) {
  UnitState& unit = *a.unit;
  std::lock_guard lock(unit.mutex);
  auto& net = unit.blocks["RNETP"];
  auto& info = unit.blocks["RUINF"];
  std::string d(kDatagramSize, '\0');
  d[0] = static_cast<char>(kMagic);
  d[1] = static_cast<char>(kVersion);
  d[2] = static_cast<char>(command);
  d[5] = static_cast<char>(net["DHCP"] == "1" ? 1 : 0);
  d.replace(6, 6, std::string(unit.design.mac.begin(), unit.design.mac.end()));
  d.replace(12, 4, Ipv4Bytes(a.address));
  d.replace(16, 4, Ipv4Bytes(net["MASK"]));
  d.replace(20, 4, Ipv4Bytes(net["GW"]));
  d.replace(24, 4, Ipv4Bytes(net["DNS1"]));
  d.replace(28, 4, Ipv4Bytes(net["DNS2"]));
  d[32] = static_cast<char>(a.port & 0xFF);
  d[33] = static_cast<char>((a.port >> 8) & 0xFF);
  d.replace(34, 8, lm::text::Format("%08X", unit.design.serial));
  d.replace(42, std::min<std::size_t>(32, info["NAME"].size()), info["NAME"].substr(0, 32));
  d.replace(74, std::min<std::size_t>(64, info["DESC"].size()), info["DESC"].substr(0, 64));
  return d;
}

// Takes the parameters of a set-parameters datagram into the unit's network settings.
void Apply(const std::string& datagram, UnitState& unit) {
  std::lock_guard lock(unit.mutex);
  auto& net = unit.blocks["RNETP"];
  net["DHCP"] = datagram[5] ? "1" : "0";
  net["IP"] = Dotted(datagram, 12);
  net["MASK"] = Dotted(datagram, 16);
  net["GW"] = Dotted(datagram, 20);
  net["DNS1"] = Dotted(datagram, 24);
  net["DNS2"] = Dotted(datagram, 28);
}

}  // namespace

std::vector<std::string> UdpResponder::Answers(const std::string& datagram, const std::vector<LanAnnouncement>& units) {
  std::vector<std::string> answers;
  if (datagram.size() != kDatagramSize || static_cast<unsigned char>(datagram[0]) != kMagic ||
      datagram[1] != kVersion || datagram[3] != 0) {
    return answers;
  }
  const auto command = static_cast<unsigned char>(datagram[2]);
  for (const LanAnnouncement& a : units) {
    if (command == kSearch) {
      answers.push_back(Describe(a, kSearch));
    } else if (command == kSetParameters &&
               std::memcmp(datagram.data() + 6, a.unit->design.mac.data(), a.unit->design.mac.size()) == 0) {
      Apply(datagram, *a.unit);
      answers.push_back(Describe(a, kSetParameters));
    }
  }
  return answers;
}

std::unique_ptr<UdpResponder> UdpResponder::Start(const std::string& address, int port,
                                                  std::vector<LanAnnouncement> units, Transcript& transcript,
                                                  std::string* error) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  vcomm::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (::inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1 || !fd ||
      ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    if (error) *error = "cannot bind UDP " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
    return nullptr;
  }
  socklen_t length = sizeof a;
  ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&a), &length);
  return std::unique_ptr<UdpResponder>(
      new UdpResponder(std::move(fd), ntohs(a.sin_port), std::move(units), transcript));
}

UdpResponder::UdpResponder(vcomm::UniqueFd fd, int port, std::vector<LanAnnouncement> units, Transcript& transcript)
    : fd_(std::move(fd)), port_(port), units_(std::move(units)), transcript_(transcript) {
  pool_.Run([this](const StopSignal& stop) { Loop(stop); });
}

UdpResponder::~UdpResponder() { pool_.Stop(); }

void UdpResponder::Loop(const StopSignal& stop) {
  for (;;) {
    pollfd fds[2] = {{fd_.Get(), POLLIN, 0}, {stop.Fd(), POLLIN, 0}};
    int n = ::poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || stop.Raised()) return;
    if (!(fds[0].revents & POLLIN)) continue;
    char buffer[1024];
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    ssize_t got = ::recvfrom(fd_.Get(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (got < 0) continue;
    std::string datagram(buffer, static_cast<std::size_t>(got));
    transcript_.Received(0, datagram);
    for (const std::string& answer : Answers(datagram, units_)) {
      ::sendto(fd_.Get(), answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
      transcript_.Sent(0, answer);
    }
  }
}

}  // namespace linkmeter::sim
