#pragma once
// The description of one base unit that every device call carries in its
// argument member comInfo, parsed.

#include <cstdint>
#include <memory>
#include <string>

#include "lm/Json.h"

namespace Sorrel::Com {

struct WatchUsbInfo {
  uint32_t serial = 0;
  std::string name, descr, model;
  int32_t port = 0;
};

struct WatchLanInfo {
  uint32_t serial = 0;
  std::string name, descr, mac, model, ipAddr;
  int32_t port = 0;
  std::string lanPassword;
};

// Exactly one of usb and lan is set.
struct ComInfo {
  std::shared_ptr<WatchUsbInfo> usb;
  std::shared_ptr<WatchLanInfo> lan;

  bool IsUsb() const { return usb != nullptr; }
  uint32_t Serial() const { return usb ? usb->serial : lan->serial; }
  // The model text shown in messages: the LAN model, else the USB model.
  const std::string& Model() const { return lan ? lan->model : usb->model; }
  // The unit as failure messages name it: its model, serial number and
  // model code, or the address of a LAN unit known by address only.
  std::string Describe() const;
};

// Bits 17 to 23 of a serial number.
inline uint32_t ModelCode(uint32_t serial) { return (serial >> 17) & 0x7F; }

// Parses args.comInfo (args must be an object). Raises JsArgumentException:
// the reader errors for comInfo and comInfo.com, and code -2 with
// "'comInfo' value is invalid.(WatchUsbInfo:<n>)'" (or WatchLanInfo) when a
// key of the unit's kind is missing or invalid.
ComInfo ParseComInfo(const lm::json::Value& args);

// The key under which the unit's executor is kept.
std::string UnitKey(const ComInfo& info);

// "0x" + text read as an unsigned hexadecimal number: the leading hex digits
// count, anything after them is ignored; saturates at 0xFFFFFFFF.
uint32_t ParseSerialText(const std::string& text);

}  // namespace Sorrel::Com
