#pragma once
// The entries the search functions answer with; each can be passed back as
// comInfo (a LAN one once the page adds lanPassword).

#include <cstdint>
#include <string>

#include "lm/Json.h"
#include "sorrel/com/ComInfo.h"

namespace Sorrel::Com {

// A logger found on the optical port of a base unit.
struct SearchLoggerResult {
  uint32_t serial = 0;
  std::string model;
  ComInfo base;  // the base unit it lies on
  bool optical = true;
  bool usb = false;
};

// "%08X", or the number 0 for serial number 0.
lm::json::Value SerialValue(uint32_t serial);
// {com 1, descr, model, name, serial, port (omitted when 0)}.
lm::json::Value UsbEntry(const WatchUsbInfo& unit);
// {com 2, descr, ipAddr, mac, model, name, port, serial}.
lm::json::Value LanEntry(const WatchLanInfo& unit);
// {serial, model, comInfo (a USB base unit only), optical, usb}.
lm::json::Value LoggerEntry(const SearchLoggerResult& logger);

}  // namespace Sorrel::Com
