#pragma once
// The USB bus provider: how base units "plugged in by USB" are found and
// reached. The bus is a directory; every attached unit is a Unix-domain
// stream socket in it named by device type, slot and serial number:
//
//   <bus>/1280-000-9A000001.sock   (the unit's listening socket)
//   <bus>/1280-000-9A000001.lock   (held locked by the attaching process)
//
// The device side (the simulator, a test) attaches a unit by creating and
// listening on its socket and detaches it by removing it; the host side
// (libvcomm) lists the sockets and opens a unit by connecting. The lock file
// tells a live unit from one left behind by a process that died: its lock
// is free. See docs/usb-bus.md.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vcomm/UniqueFd.h"

namespace vcomm::usb {

inline constexpr std::uint16_t kDeviceTypeVela = 1280;   // 0x0500, VELA base units
inline constexpr std::uint16_t kDeviceTypeVlb3 = 56321;  // 0xDC01, the VL-B3
inline constexpr int kSlotCount = 256;                   // flag positions per device type

// The bus directory: the one set by SetBusDirectory, else $LINKMETER_USB_BUS,
// else $XDG_RUNTIME_DIR/linkmeter-usb, else /tmp/linkmeter-usb-<uid>.
std::string BusDirectory();
// Overrides the bus directory for this process (both sides); an empty text
// returns to the default. Meant for tests and an in-process simulator.
void SetBusDirectory(const std::string& directory);

// One live unit on the bus.
struct UnitEntry {
  std::uint16_t deviceType = 0;
  int slot = 0;  // 0..255, the unit's flag position
  std::uint32_t serial = 0;
  std::string socketPath;
};

// Live units of one device type, in slot order.
std::vector<UnitEntry> ListUnits(std::uint16_t deviceType);
// The live unit with this serial number, of any device type.
std::optional<UnitEntry> FindUnit(std::uint32_t serial);

// A unit attached to the bus; destroying it (or Detach) detaches it.
class AttachedUnit {
 public:
  // Attaches a unit in the lowest free slot of its device type. Fails (none,
  // with a reason in *error) when the serial is already attached, all slots
  // are taken or the socket cannot be made.
  static std::unique_ptr<AttachedUnit> Attach(std::uint16_t deviceType, std::uint32_t serial,
                                              std::string* error = nullptr);
  ~AttachedUnit();
  AttachedUnit(const AttachedUnit&) = delete;
  AttachedUnit& operator=(const AttachedUnit&) = delete;

  // Removes the unit from the bus; streams already accepted stay open, so the
  // caller closes them to make the host see the unplugging.
  void Detach();
  bool Attached() const { return listener_.Valid(); }

  std::uint16_t DeviceType() const { return entry_.deviceType; }
  std::uint32_t Serial() const { return entry_.serial; }
  int Slot() const { return entry_.slot; }
  const std::string& SocketPath() const { return entry_.socketPath; }
  // The listening socket, for callers that poll it in their own loop.
  int ListenFd() const { return listener_.Get(); }

  // Waits up to timeoutMs (-1: no limit) for the host to open the unit and
  // returns the byte stream, or an invalid descriptor on time-out or detach.
  UniqueFd Accept(int timeoutMs);

 private:
  AttachedUnit(UnitEntry entry, UniqueFd listener, UniqueFd lock, std::string lockPath);

  UnitEntry entry_;
  UniqueFd listener_;
  UniqueFd lock_;
  std::string lockPath_;
};

// Host side: connects to the unit's socket; invalid when it is not there.
UniqueFd ConnectUnit(const UnitEntry& unit);

}  // namespace vcomm::usb
