// The exported operations: argument checks, then the connection table,
// the LAN connector and the USB provider do the work.

#include "vcomm/Vcomm.h"

#include <algorithm>
#include <cstring>

#include "ConnectionTable.h"
#include "LanConnector.h"
#include "UsbProvider.h"

namespace {

using vcomm::ConnectionTable;

bool KnownDeviceType(int deviceType) {
  return deviceType == VCOMM_DEVICE_VELA || deviceType == VCOMM_DEVICE_VLB3;
}

// Guards the C boundary: nothing thrown inside may cross it.
template <typename Body>
int Guarded(Body body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return VCOMM_MEMORY_ERR;
  } catch (...) {
    return VCOMM_ARGUMENT_ERR;
  }
}

}  // namespace

extern "C" {

int Vcomm_OpenUSBComm(uint32_t serial) {
  return Guarded([&] {
    vcomm::UniqueFd stream;
    if (int error = vcomm::UsbProvider::Current().Open(serial, stream); error != 0) return error;
    ConnectionTable::Instance().PutUsb(serial, std::make_shared<vcomm::StreamConnection>(std::move(stream)));
    return 0;
  });
}

int Vcomm_OpenLANComm(const char* address, int port, const char* password, void* /*ownerWindow*/,
                      Vcomm_Handle* handle) {
  return Guarded([&] {
    if (!address || !password || !handle) return VCOMM_ARGUMENT_ERR;
    vcomm::LanOpenResult opened = vcomm::LanConnector(address, port, password).Open();
    if (opened.error != 0) return opened.error;
    *handle = ConnectionTable::Instance().AddLan(std::move(opened.connection));
    return 0;
  });
}

int Vcomm_ClearCommBuf(Vcomm_Handle handle, int selector) {
  return Guarded([&] {
    auto connection = ConnectionTable::Instance().Find(handle);
    if (!connection) return VCOMM_ARGUMENT_ERR;
    if (selector == 1) connection->DropReceived();
    return 0;
  });
}

int Vcomm_SendComm(Vcomm_Handle handle, const void* bytes, int count) {
  return Guarded([&] {
    auto connection = ConnectionTable::Instance().Find(handle);
    if (!connection || count < 0 || (!bytes && count > 0)) return VCOMM_ARGUMENT_ERR;
    return connection->Send(std::string_view(static_cast<const char*>(bytes), static_cast<std::size_t>(count)));
  });
}

int Vcomm_RecvComm(Vcomm_Handle handle, void* buffer, int capacity, int timeoutSeconds) {
  return Guarded([&] {
    auto connection = ConnectionTable::Instance().Find(handle);
    if (!connection || !buffer || capacity <= 0 || timeoutSeconds < 0 || timeoutSeconds > 86400) {
      return VCOMM_ARGUMENT_ERR;
    }
    return connection->Receive(static_cast<char*>(buffer), static_cast<std::size_t>(capacity),
                               timeoutSeconds * 1000);
  });
}

int Vcomm_CloseComm(Vcomm_Handle handle) {
  return Guarded([&] { return ConnectionTable::Instance().Remove(handle) ? 0 : VCOMM_ARGUMENT_ERR; });
}

int Vcomm_GetConnectNum(unsigned char* flags, int size, int deviceType, int /*reserved*/) {
  return Guarded([&] {
    if (!flags || size < 0) return VCOMM_ARGUMENT_ERR;
    std::memset(flags, 0, static_cast<std::size_t>(size));
    if (!KnownDeviceType(deviceType)) return 0;
    int present = 0;
    for (const vcomm::UsbUnit& unit : vcomm::UsbProvider::Current().List(static_cast<uint16_t>(deviceType))) {
      if (unit.slot < size) flags[unit.slot] = 1;
      ++present;
    }
    return present;
  });
}

int Vcomm_GetSerial(uint32_t* serials, int count, int deviceType, int /*reserved*/) {
  return Guarded([&] {
    if (!serials || count < 0) return VCOMM_ARGUMENT_ERR;
    if (!KnownDeviceType(deviceType)) return 0;
    auto units = vcomm::UsbProvider::Current().List(static_cast<uint16_t>(deviceType));
    int written = std::min(count, static_cast<int>(units.size()));
    for (int i = 0; i < written; ++i) serials[i] = units[static_cast<std::size_t>(i)].serial;
    return written;
  });
}

}  // extern "C"
