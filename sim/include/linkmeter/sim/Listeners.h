#pragma once
// Where simulated base units can be reached: a TCP listener with the login
// exchange for a LAN unit, a socket on the USB bus for a USB unit.

#include <memory>
#include <string>

#include "linkmeter/sim/StreamServer.h"
#include "vcomm/UsbBus.h"

namespace linkmeter::sim {

class CommandTable;

// What every connection of a site shares: the radio, the answers and the
// transcript, all owned by the simulator (or its maker) and outliving it.
struct SiteShared {
  const RadioModel& radio;
  const CommandTable& commands;
  Transcript& transcript;
};

class LanListener {
 public:
  // Listens on the unit's address and port (port 0: any free one).
  static std::unique_ptr<LanListener> Start(UnitState& unit, const SiteShared& site, std::string* error);
  ~LanListener();

  int Port() const { return port_; }

 private:
  LanListener(UnitState& unit, const SiteShared& site, vcomm::UniqueFd listener, int port);
  void AcceptLoop(const StopSignal& stop);

  UnitState& unit_;
  const SiteShared site_;
  vcomm::UniqueFd listener_;
  int port_;
  ConnectionPool pool_;
};

class UsbAttachment {
 public:
  // Attaches the unit to the USB bus (device type 56321 for model 41, else 1280).
  static std::unique_ptr<UsbAttachment> Attach(UnitState& unit, const SiteShared& site, std::string* error);
  // Detaching also closes the streams the host has open, as unplugging would.
  ~UsbAttachment();

  int Slot() const { return attached_->Slot(); }

 private:
  UsbAttachment(UnitState& unit, const SiteShared& site, std::unique_ptr<vcomm::usb::AttachedUnit> attached);
  void AcceptLoop(const StopSignal& stop);

  UnitState& unit_;
  const SiteShared site_;
  std::unique_ptr<vcomm::usb::AttachedUnit> attached_;
  ConnectionPool pool_;
};

}  // namespace linkmeter::sim
