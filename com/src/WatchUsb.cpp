#include "sorrel/com/WatchUsb.h"

#include <algorithm>
#include <tuple>

#include "sorrel/com/UsbUnitProbe.h"
#include "vcomm/Vcomm.h"

namespace Sorrel {

int UsbBusProbe::ConnectNum(Flags& flags, uint16_t deviceType) {
  return Vcomm_GetConnectNum(flags.data(), kSlots, deviceType, 1);
}

int UsbBusProbe::GetSerials(Serials& serials, uint16_t deviceType) {
  return Vcomm_GetSerial(serials.data(), kSlots, deviceType, 1);
}

UsbBusProbe& UsbBusProbe::Library() {
  static UsbBusProbe probe;
  return probe;
}

void WatchUsbDevice::Update(const Com::SearchUSBPrm&) {
  UsbBusProbe::Flags flags{};
  const int count = probe_.ConnectNum(flags, deviceType_);
  if (count == static_cast<int>(list_.size())) return;
  Rescan(flags, count);
}

void WatchUsbDevice::Rescan(UsbBusProbe::Flags flags, int count) {
  list_.clear();
  UsbBusProbe::Serials serials{};
  const int got = probe_.GetSerials(serials, deviceType_);
  if (got < 0) return;
  // The k-th flag belongs to the k-th serial only when both describe the same
  // bus: a unit plugged or pulled in between would shift every later one.
  if (got != count) {
    flags.fill(0);
    probe_.ConnectNum(flags, deviceType_);
  }
  int k = 0;
  for (int slot = 0; slot < UsbBusProbe::kSlots && k < got; ++slot) {
    if (flags[static_cast<size_t>(slot)] == 0) continue;
    const uint32_t serial = serials[static_cast<size_t>(k++)];
    Com::WatchUsbInfo info;
    const Com::ProbeOutcome outcome = Com::ProbeUsbUnit(table_, serial, slot + 1, info);
    if (outcome == Com::ProbeOutcome::kStop) return;  // the units found so far, in walk order
    if (outcome == Com::ProbeOutcome::kFound) list_.push_back(std::move(info));
  }
  std::sort(list_.begin(), list_.end(), [](const Com::WatchUsbInfo& a, const Com::WatchUsbInfo& b) {
    return std::tie(a.serial, a.name, a.descr, a.model, a.port) < std::tie(b.serial, b.name, b.descr, b.model, b.port);
  });
}

}  // namespace Sorrel
