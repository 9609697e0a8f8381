// The exported operations: argument checks, then the live library's
// connection table and USB provider, and the LAN connector, do the work.

#include "vcomm/Vcomm.h"

#include <algorithm>
#include <cstring>

#include "LanConnector.h"
#include "LibraryState.h"

namespace {

using vcomm::LibraryState;

bool KnownDeviceType(int deviceType) {
  return deviceType == VCOMM_DEVICE_VELA || deviceType == VCOMM_DEVICE_VLB3;
}

// Guards the C boundary: nothing thrown inside may cross it. The body gets
// the live library's state, held for the whole call.
template <typename Body>
int Guarded(Body body) noexcept {
  try {
    std::shared_ptr<LibraryState> state = LibraryState::Installed();
    if (!state) return VCOMM_ARGUMENT_ERR;
    return body(*state);
  } catch (const std::bad_alloc&) {
    return VCOMM_MEMORY_ERR;
  } catch (...) {
    return VCOMM_ARGUMENT_ERR;
  }
}

}  // namespace

extern "C" {

int Vcomm_OpenUSBComm(uint32_t serial) {
  return Guarded([&](LibraryState& state) {
    vcomm::UniqueFd stream;
    if (int error = state.usb->Open(serial, stream); error != 0) return error;
    state.connections.PutUsb(serial, std::make_shared<vcomm::StreamConnection>(std::move(stream)));
    return 0;
  });
}

int Vcomm_OpenLANComm(const char* address, int port, const char* password, void* /*ownerWindow*/,
                      Vcomm_Handle* handle) {
  return Guarded([&](LibraryState& state) {
    if (!address || !password || !handle) return VCOMM_ARGUMENT_ERR;
    vcomm::LanOpenResult opened = vcomm::LanConnector(address, port, password).Open();
    if (opened.error != 0) return opened.error;
    *handle = state.connections.AddLan(std::move(opened.connection));
    return 0;
  });
}

int Vcomm_ClearCommBuf(Vcomm_Handle handle, int selector) {
  return Guarded([&](LibraryState& state) {
    auto connection = state.connections.Find(handle);
    if (!connection) return VCOMM_ARGUMENT_ERR;
    if (selector == 1) connection->DropReceived();
    return 0;
  });
}

int Vcomm_SendComm(Vcomm_Handle handle, const void* bytes, int count) {
  return Guarded([&](LibraryState& state) {
    auto connection = state.connections.Find(handle);
    if (!connection || count < 0 || (!bytes && count > 0)) return VCOMM_ARGUMENT_ERR;
    return connection->Send(std::string_view(static_cast<const char*>(bytes), static_cast<std::size_t>(count)));
  });
}

int Vcomm_RecvComm(Vcomm_Handle handle, void* buffer, int capacity, int timeoutSeconds) {
  return Guarded([&](LibraryState& state) {
    auto connection = state.connections.Find(handle);
    if (!connection || !buffer || capacity <= 0 || timeoutSeconds < 0 || timeoutSeconds > 86400) {
      return VCOMM_ARGUMENT_ERR;
    }
    return connection->Receive(static_cast<char*>(buffer), static_cast<std::size_t>(capacity),
                               timeoutSeconds * 1000);
  });
}

int Vcomm_CloseComm(Vcomm_Handle handle) {
  return Guarded([&](LibraryState& state) { return state.connections.Remove(handle) ? 0 : VCOMM_ARGUMENT_ERR; });
}

int Vcomm_GetConnectNum(unsigned char* flags, int size, int deviceType, int /*reserved*/) {
  return Guarded([&](LibraryState& state) {
    if (!flags || size < 0) return VCOMM_ARGUMENT_ERR;
    std::memset(flags, 0, static_cast<std::size_t>(size));
    if (!KnownDeviceType(deviceType)) return 0;
    int present = 0;
    for (const vcomm::UsbUnit& unit : state.usb->List(static_cast<uint16_t>(deviceType))) {
      if (unit.slot < size) flags[unit.slot] = 1;
      ++present;
    }
    return present;
  });
}

int Vcomm_GetSerial(uint32_t* serials, int count, int deviceType, int /*reserved*/) {
  return Guarded([&](LibraryState& state) {
    if (!serials || count < 0) return VCOMM_ARGUMENT_ERR;
    if (!KnownDeviceType(deviceType)) return 0;
    auto units = state.usb->List(static_cast<uint16_t>(deviceType));
    int written = std::min(count, static_cast<int>(units.size()));
    for (int i = 0; i < written; ++i) serials[i] = units[static_cast<std::size_t>(i)].serial;
    return written;
  });
}

}  // extern "C"
