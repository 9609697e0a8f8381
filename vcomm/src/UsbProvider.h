#pragma once
// Where USB units come from. The socket bus is today's provider; a real
// USB driver would be another implementation of this interface, made by
// the library in place of it, with nothing above it changing.

#include <cstdint>
#include <memory>
#include <vector>

#include "vcomm/UniqueFd.h"

namespace vcomm {

struct UsbUnit {
  int slot = 0;  // flag position, 0..255
  std::uint32_t serial = 0;
};

class UsbProvider {
 public:
  virtual ~UsbProvider() = default;
  // Present units of a device type in slot order.
  virtual std::vector<UsbUnit> List(std::uint16_t deviceType) = 0;
  // Opens a unit's byte stream; 0 and `stream` set, or a VCOMM_* error.
  virtual int Open(std::uint32_t serial, UniqueFd& stream) = 0;
};

// The provider over the socket bus of vcomm/UsbBus.h.
std::unique_ptr<UsbProvider> MakeSocketBusProvider();

}  // namespace vcomm
