// The USB provider over the socket bus of vcomm/UsbBus.h.

#include "UsbProvider.h"
#include "vcomm/UsbBus.h"
#include "vcomm/Vcomm.h"

namespace vcomm {
namespace {

class SocketBusProvider final : public UsbProvider {
 public:
  std::vector<UsbUnit> List(std::uint16_t deviceType) override {
    std::vector<UsbUnit> units;
    for (const usb::UnitEntry& entry : usb::ListUnits(deviceType)) units.push_back({entry.slot, entry.serial});
    return units;
  }

  int Open(std::uint32_t serial, UniqueFd& stream) override {
    auto unit = usb::FindUnit(serial);
    if (!unit) return VCOMM_SERIALNUM_ERR;
    stream = usb::ConnectUnit(*unit);
    return stream ? 0 : VCOMM_COMOPEN_ERR;
  }
};

}  // namespace

std::unique_ptr<UsbProvider> MakeSocketBusProvider() { return std::make_unique<SocketBusProvider>(); }

}  // namespace vcomm
