#include "sorrel/com/SearchEntries.h"

#include "lm/Text.h"

namespace Sorrel::Com {

using lm::json::Number;
using lm::json::String;

lm::json::Value SerialValue(uint32_t serial) {
  if (serial == 0) return Number(0);
  return String(lm::text::Format("%08X", serial));
}

lm::json::Value UsbEntry(const WatchUsbInfo& unit) {
  lm::json::Object e{{"com", Number(1)},
                     {"descr", String(unit.descr)},
                     {"model", String(unit.model)},
                     {"name", String(unit.name)},
                     {"serial", SerialValue(unit.serial)}};
  if (unit.port != 0) e["port"] = Number(unit.port);
  return lm::json::Value(std::move(e));
}

lm::json::Value LanEntry(const WatchLanInfo& unit) {
  return lm::json::Value(lm::json::Object{{"com", Number(2)},
                                          {"descr", String(unit.descr)},
                                          {"ipAddr", String(unit.ipAddr)},
                                          {"mac", String(unit.mac)},
                                          {"model", String(unit.model)},
                                          {"name", String(unit.name)},
                                          {"port", Number(unit.port)},
                                          {"serial", SerialValue(unit.serial)}});
}

lm::json::Value LoggerEntry(const SearchLoggerResult& logger) {
  lm::json::Object e{{"serial", String(lm::text::Format("%08X", logger.serial))},
                     {"model", String(logger.model)},
                     {"optical", lm::json::Bool(logger.optical)},
                     {"usb", lm::json::Bool(logger.usb)}};
  if (logger.base.usb) e["comInfo"] = UsbEntry(*logger.base.usb);
  return lm::json::Value(std::move(e));
}

}  // namespace Sorrel::Com
