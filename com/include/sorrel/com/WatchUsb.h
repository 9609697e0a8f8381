#pragma once
// The USB watchers: the base units of one USB device type, kept between
// searches. Update asks the library how many units are attached and talks to
// them (RUINF) only when that number differs from the list's, or when a unit
// on the list did not answer for itself last time.

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "lm/CancelToken.h"

#include "sorrel/com/ComExecutorTable.h"
#include "sorrel/com/ComInfo.h"
#include "sorrel/com/SearchParams.h"

namespace Sorrel {

// The library's view of the USB bus; tests wrap it to change the bus between
// the steps of a rescan.
class UsbBusProbe {
 public:
  static constexpr int kSlots = 256;
  using Flags = std::array<uint8_t, kSlots>;
  using Serials = std::array<uint32_t, kSlots>;

  virtual ~UsbBusProbe() = default;
  // Vcomm_GetConnectNum: the number of attached units, flags[i] non-zero
  // where slot i holds one.
  virtual int ConnectNum(Flags& flags, uint16_t deviceType);
  // Vcomm_GetSerial: the units' serial numbers in slot order; how many, or a
  // negative library error.
  virtual int GetSerials(Serials& serials, uint16_t deviceType);

  static UsbBusProbe& Library();
};

class WatchUsbBase {
 public:
  virtual ~WatchUsbBase() = default;
  virtual void Update(const Com::SearchUSBPrm& prm) = 0;
  virtual void Clear() = 0;
};

// What a rescan needs of a watcher, copied from it on the window thread.
struct UsbWatchState {
  size_t listed = 0;
  bool complete = true;
  std::map<uint32_t, Com::WatchUsbInfo> known;
};

// What a rescan found, to be applied to the watcher on the window thread.
struct UsbScan {
  bool rescanned = false;  // false: the list stays as it is
  bool cancelled = false;  // the search was cancelled: nothing to apply
  bool complete = true;    // every listed unit answered for itself
  std::vector<Com::WatchUsbInfo> list;
  std::vector<Com::WatchUsbInfo> answered;
};

// The behaviour both device types share. Update is State, Scan and Apply in
// one go; the search runs Scan (the bus and the units, slow) on its own
// thread and only State and Apply on the window thread.
class WatchUsbDevice : public WatchUsbBase {
 public:
  WatchUsbDevice(uint16_t deviceType, Com::ComExecutorTable& table, UsbBusProbe& probe)
      : deviceType_(deviceType), table_(table), probe_(probe) {}

  void Update(const Com::SearchUSBPrm& prm) override;
  void Clear() override;

  UsbWatchState State() const { return {list_.size(), complete_, known_}; }
  // Asks the bus how many units are attached and talks to them only when
  // that differs from the list or the list holds units that did not answer.
  UsbScan Scan(const UsbWatchState& state, lm::CancelToken* cancel) const;
  void Apply(UsbScan scan);

  uint16_t DeviceType() const { return deviceType_; }
  const std::vector<Com::WatchUsbInfo>& List() const { return list_; }

 private:
  // Probes the units in slot order; false when the walk stopped early.
  bool Walk(UsbBusProbe::Flags flags, int count, const UsbWatchState& state, lm::CancelToken* cancel,
            UsbScan& scan) const;

  uint16_t deviceType_;
  Com::ComExecutorTable& table_;
  UsbBusProbe& probe_;
  std::vector<Com::WatchUsbInfo> list_;
  bool complete_ = true;
  // The last answer of every unit that answered, by serial number: a unit
  // that keeps quiet later is listed with it.
  std::map<uint32_t, Com::WatchUsbInfo> known_;
};

class WatchUsbVela : public WatchUsbDevice {
 public:
  static constexpr uint16_t kDeviceType = 1280;  // 0x0500
  explicit WatchUsbVela(Com::ComExecutorTable& table, UsbBusProbe& probe = UsbBusProbe::Library())
      : WatchUsbDevice(kDeviceType, table, probe) {}
};

class WatchUsbVLB3 : public WatchUsbDevice {
 public:
  static constexpr uint16_t kDeviceType = 56321;  // 0xDC01
  explicit WatchUsbVLB3(Com::ComExecutorTable& table, UsbBusProbe& probe = UsbBusProbe::Library())
      : WatchUsbDevice(kDeviceType, table, probe) {}
};

}  // namespace Sorrel
