#include "linkmeter/sim/Simulator.h"

#include <chrono>

namespace linkmeter::sim {
namespace {

std::int64_t UnixNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

SiteSpec Adjusted(SiteSpec site, const SimulatorOptions& options) {
  if (options.hopMs) site.radio.hopMs = *options.hopMs;
  if (options.lanAddress) {
    for (auto& unit : site.baseUnits) unit.lanAddress = *options.lanAddress;
  }
  return site;
}

}  // namespace

Simulator::Simulator(SiteSpec site, const CommandTable& commands, SimulatorOptions options)
    : site_(Adjusted(std::move(site), options)),
      commands_(commands),
      options_(std::move(options)),
      radio_(site_.radio, UnixNow()) {
  const std::int64_t start = UnixNow();
  for (const auto& design : site_.baseUnits) units_.push_back(std::make_unique<UnitState>(design, start));
}

Simulator::~Simulator() { Stop(); }

bool Simulator::Start(std::string* error) {
  for (auto& unit : units_) {
    if (!unit->design.usb && options_.listenLan) {
      auto listener = LanListener::Start(*unit, Shared(), error);
      if (!listener) return false;
      lan_[unit->design.serial] = std::move(listener);
    }
    if (unit->design.usb && options_.attachUsb && !AttachUsb(unit->design.serial, error)) return false;
  }
  return StartUdp(error);
}

bool Simulator::StartUdp(std::string* error) {
  if (!options_.udp.value_or(site_.udp.enabled)) return true;
  std::vector<LanAnnouncement> announced;
  for (auto& unit : units_) {
    if (int port = LanPort(unit->design.serial)) announced.push_back({unit.get(), unit->design.lanAddress, port});
  }
  udp_ = UdpResponder::Start(options_.udpAddress.value_or(site_.udp.address),
                             options_.udpPort.value_or(site_.udp.port), std::move(announced), transcript_, error);
  return udp_ != nullptr;
}

void Simulator::Stop() {
  udp_.reset();
  lan_.clear();
  std::lock_guard lock(usbMutex_);
  usb_.clear();
}

UnitState* Simulator::Unit(std::uint32_t serial) {
  for (auto& unit : units_) {
    if (unit->design.serial == serial) return unit.get();
  }
  return nullptr;
}

int Simulator::LanPort(std::uint32_t serial) const {
  auto it = lan_.find(serial);
  return it == lan_.end() ? 0 : it->second->Port();
}

bool Simulator::AttachUsb(std::uint32_t serial, std::string* error) {
  UnitState* unit = Unit(serial);
  if (!unit || !unit->design.usb) {
    if (error) *error = "no USB base unit with that serial number in the site";
    return false;
  }
  std::lock_guard lock(usbMutex_);
  if (usb_.count(serial)) return true;
  auto attachment = UsbAttachment::Attach(*unit, Shared(), error);
  if (!attachment) return false;
  usb_[serial] = std::move(attachment);
  return true;
}

bool Simulator::DetachUsb(std::uint32_t serial) {
  std::unique_ptr<UsbAttachment> gone;
  {
    std::lock_guard lock(usbMutex_);
    auto it = usb_.find(serial);
    if (it == usb_.end()) return false;
    gone = std::move(it->second);
    usb_.erase(it);
  }
  return true;  // `gone` detaches as it goes
}

bool Simulator::IsAttached(std::uint32_t serial) const {
  std::lock_guard lock(usbMutex_);
  return usb_.count(serial) > 0;
}

void Simulator::InjectFault(std::uint32_t serial, const FaultRule& rule) {
  if (UnitState* unit = Unit(serial)) unit->faults.Add(rule);
}

void Simulator::ClearFaults(std::uint32_t serial) {
  if (UnitState* unit = Unit(serial)) unit->faults.Clear();
}

}  // namespace linkmeter::sim
