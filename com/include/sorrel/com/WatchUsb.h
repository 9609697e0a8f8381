#pragma once
// The USB watchers: the base units of one USB device type, kept between
// searches. Update asks the library how many units are attached and talks to
// them (RUINF) only when that number differs from the list's.

#include <array>
#include <cstdint>
#include <vector>

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

// The behaviour both device types share.
class WatchUsbDevice : public WatchUsbBase {
 public:
  WatchUsbDevice(uint16_t deviceType, Com::ComExecutorTable& table, UsbBusProbe& probe)
      : deviceType_(deviceType), table_(table), probe_(probe) {}

  void Update(const Com::SearchUSBPrm& prm) override;
  void Clear() override { list_.clear(); }

  uint16_t DeviceType() const { return deviceType_; }
  const std::vector<Com::WatchUsbInfo>& List() const { return list_; }

 private:
  void Rescan(UsbBusProbe::Flags flags, int count);

  uint16_t deviceType_;
  Com::ComExecutorTable& table_;
  UsbBusProbe& probe_;
  std::vector<Com::WatchUsbInfo> list_;
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
