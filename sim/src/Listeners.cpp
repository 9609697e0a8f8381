#include "linkmeter/sim/Listeners.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace linkmeter::sim {
namespace {

// Waits for a connection on `listener`; invalid on stop.
vcomm::UniqueFd AcceptOne(int listener, const StopSignal& stop) {
  for (;;) {
    pollfd fds[2] = {{listener, POLLIN, 0}, {stop.Fd(), POLLIN, 0}};
    int n = ::poll(fds, 2, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || stop.Raised() || (fds[1].revents & POLLIN)) return {};
    if (!(fds[0].revents & POLLIN)) return {};
    int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) return vcomm::UniqueFd(fd);
    if (errno != EINTR && errno != ECONNABORTED && errno != EAGAIN) return {};
  }
}

void ServeConnections(int listener, ConnectionPool& pool, const StopSignal& stop, UnitState& unit,
                      const SiteShared& site, StreamRules rules) {
  for (;;) {
    vcomm::UniqueFd fd = AcceptOne(listener, stop);
    if (!fd) {
      if (!stop.Raised()) site.transcript.Note(unit.design.serial, "no longer accepting connections");
      return;
    }
    site.transcript.Note(unit.design.serial, "connection opened");
    auto shared = std::make_shared<vcomm::UniqueFd>(std::move(fd));
    pool.Run([shared, &unit, site, rules](const StopSignal& s) {
      UnitSession session(unit, site.radio, site.commands, site.transcript);
      ServeStream(std::move(*shared), session, rules, s, site.transcript, unit.design.serial);
    });
  }
}

}  // namespace

std::unique_ptr<LanListener> LanListener::Start(UnitState& unit, const SiteShared& site, std::string* error) {
  auto fail = [&](const std::string& what) -> std::unique_ptr<LanListener> {
    if (error) *error = what + " (" + unit.design.lanAddress + ":" + std::to_string(unit.design.lanPort) + "): " +
                        std::strerror(errno);
    return nullptr;
  };
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(unit.design.lanPort));
  if (::inet_pton(AF_INET, unit.design.lanAddress.c_str(), &address.sin_addr) != 1) {
    errno = EINVAL;
    return fail("not an IPv4 address");
  }
  vcomm::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  int one = 1;
  ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  if (!fd || ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return fail("cannot bind");
  if (::listen(fd.Get(), 16) != 0) return fail("cannot listen");
  socklen_t length = sizeof address;
  ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &length);
  int port = ntohs(address.sin_port);
  return std::unique_ptr<LanListener>(new LanListener(unit, site, std::move(fd), port));
}

LanListener::LanListener(UnitState& unit, const SiteShared& site, vcomm::UniqueFd listener, int port)
    : unit_(unit), site_(site), listener_(std::move(listener)), port_(port) {
  pool_.Run([this](const StopSignal& stop) { AcceptLoop(stop); });
}

LanListener::~LanListener() { pool_.Stop(); }

void LanListener::AcceptLoop(const StopSignal& stop) {
  ServeConnections(listener_.Get(), pool_, stop, unit_, site_, StreamRules{.login = true});
}

std::unique_ptr<UsbAttachment> UsbAttachment::Attach(UnitState& unit, const SiteShared& site, std::string* error) {
  std::uint16_t type = ModelCode(unit.design.serial) == 41 ? vcomm::usb::kDeviceTypeVlb3 : vcomm::usb::kDeviceTypeVela;
  auto attached = vcomm::usb::AttachedUnit::Attach(type, unit.design.serial, error);
  if (!attached) return nullptr;
  site.transcript.Note(unit.design.serial, "attached to the USB bus");
  return std::unique_ptr<UsbAttachment>(new UsbAttachment(unit, site, std::move(attached)));
}

UsbAttachment::UsbAttachment(UnitState& unit, const SiteShared& site,
                             std::unique_ptr<vcomm::usb::AttachedUnit> attached)
    : unit_(unit), site_(site), attached_(std::move(attached)) {
  pool_.Run([this](const StopSignal& stop) { AcceptLoop(stop); });
}

UsbAttachment::~UsbAttachment() {
  pool_.Stop();  // stops accepting and closes the streams the host holds
  attached_->Detach();
  site_.transcript.Note(unit_.design.serial, "detached from the USB bus");
}

void UsbAttachment::AcceptLoop(const StopSignal& stop) {
  ServeConnections(attached_->ListenFd(), pool_, stop, unit_, site_, StreamRules{.login = false});
}

}  // namespace linkmeter::sim
