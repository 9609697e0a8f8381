#pragma once
// What a live vcomm::Library owns, and the one the Vcomm_* calls use.

#include <memory>

#include "ConnectionTable.h"
#include "UsbProvider.h"

namespace vcomm {

struct LibraryState {
  ConnectionTable connections;
  std::unique_ptr<UsbProvider> usb;

  // The installed state, shared for the length of a call; none when no
  // Library is live.
  static std::shared_ptr<LibraryState> Installed();
};

}  // namespace vcomm
