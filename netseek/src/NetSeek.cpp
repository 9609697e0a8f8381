// The exported C functions: each turns its arguments into the library's
// types and makes sure no exception crosses into the caller.

#include "netseek/NetSeek.h"

#include <cstring>
#include <exception>

#include "Datagram.h"
#include "Library.h"

namespace {

using netseek::Datagram;
using netseek::Library;
using netseek::UnitFields;

template <typename T>
void CopyOut(T* out, const T& value) {
  if (out != nullptr) std::memcpy(out, &value, sizeof value);
}

void CopyText(char* out, const Datagram& record, std::size_t at, std::size_t size) {
  if (out != nullptr) std::memcpy(out, record.data() + at, size);
}

template <typename T>
void CopyIn(T& field, const void* in) {
  if (in != nullptr) std::memcpy(&field, in, sizeof field);
}

}  // namespace

extern "C" {

NETSEEK_API int32_t NetSeek_DoSearch(void* parent, uint16_t destPort, int32_t timeLimitSec) {
  try {
    return Library::Instance().DoSearch(parent, destPort, timeLimitSec);
  } catch (...) {
    return 0;
  }
}

NETSEEK_API int32_t NetSeek_GetSearchInfo(uint32_t index, uint32_t* ipAddr, uint32_t* value16,
                                          uint8_t* mac, uint32_t* value20, uint32_t* value24,
                                          uint32_t* value28, uint8_t* setting, uint16_t* port,
                                          char* serial, char* name, char* descr) {
  try {
    const std::optional<Datagram> record = Library::Instance().Record(index);
    if (!record) return 0;
    const UnitFields fields = netseek::ReadFields(*record);
    CopyOut(ipAddr, fields.ipAddr);
    CopyOut(value16, fields.value16);
    if (mac != nullptr) std::memcpy(mac, fields.mac.data(), fields.mac.size());
    CopyOut(value20, fields.value20);
    CopyOut(value24, fields.value24);
    CopyOut(value28, fields.value28);
    CopyOut(setting, fields.setting);
    CopyOut(port, fields.port);
    CopyText(serial, *record, netseek::offset::kSerial, netseek::kSerialSize);
    CopyText(name, *record, netseek::offset::kName, netseek::kNameSize);
    CopyText(descr, *record, netseek::offset::kDescr, netseek::kDescrSize);
    return 1;
  } catch (...) {
    return 0;
  }
}

NETSEEK_API void NetSeek_CloseSearch(void) {
  try {
    Library::Instance().CloseSearch();
  } catch (...) {
  }
}

NETSEEK_API int32_t NetSeek_SetParam(void* parent, uint16_t destPort, int32_t timeLimitSec,
                                     const uint32_t* ipAddr, const uint32_t* value16,
                                     const uint8_t* mac, const uint32_t* value20,
                                     const uint32_t* value24, const uint32_t* value28,
                                     uint8_t setting, uint16_t port, const uint8_t* block) {
  try {
    UnitFields fields;
    CopyIn(fields.ipAddr, ipAddr);
    CopyIn(fields.value16, value16);
    CopyIn(fields.mac, mac);
    CopyIn(fields.value20, value20);
    CopyIn(fields.value24, value24);
    CopyIn(fields.value28, value28);
    CopyIn(fields.block, block);
    fields.setting = setting;
    fields.port = port;
    return Library::Instance().SetParam(parent, destPort, timeLimitSec, fields);
  } catch (...) {
    return netseek::kResultLoopFailed;
  }
}

NETSEEK_API int32_t NetSeek_LogSettings(const char* path) {
  try {
    return Library::Instance().LogSettings(path);
  } catch (...) {
    return 0;
  }
}

}  // extern "C"
