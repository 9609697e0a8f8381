#include "sorrel/com/ComInfo.h"

#include "lm/Text.h"
#include "sorrel/cef/ArgReader.h"
#include "sorrel/cef/Exception.h"

namespace Sorrel::Com {
namespace {

using Sorrel::cef::ArgReader;
using Need = ArgReader::Need;

// Reads the members of one unit description; each failure yields its number.
class UnitReader {
 public:
  explicit UnitReader(const lm::json::Object& obj) : obj_(obj) {}

  bool Text(const char* key, std::string& out) const {
    auto it = obj_.find(key);
    if (it == obj_.end() || !it->second.is<std::string>()) return false;
    out = it->second.get<std::string>();
    return true;
  }
  bool Has(const char* key) const { return obj_.count(key) != 0; }
  // A 32-bit integer; false when absent or not one.
  bool Int(const char* key, int32_t& out) const {
    auto it = obj_.find(key);
    if (it == obj_.end() || !lm::json::IsIntegral(it->second, -2147483648.0, 2147483647.0)) return false;
    out = static_cast<int32_t>(it->second.get<double>());
    return true;
  }
  bool Serial(uint32_t& out) const {
    std::string text;
    if (!Text("serial", text)) return false;
    out = ParseSerialText(text);
    return true;
  }
  // A text devices receive in the ANSI code page: it must be convertible.
  bool AnsiText(const char* key, std::string& out) const {
    return Text(key, out) && lm::text::TryUtf8ToAnsi(out).has_value();
  }

 private:
  const lm::json::Object& obj_;
};

int ParseUsb(const UnitReader& r, WatchUsbInfo& usb) {
  if (!r.Text("descr", usb.descr)) return -4;
  r.Int("port", usb.port);  // optional; a value that is not an integer is ignored
  if (!r.Text("model", usb.model)) return -5;
  if (!r.Text("name", usb.name)) return -6;
  // A VL-B8 is known by its port: its serial is optional.
  const bool needSerial = usb.model != "VL-B8" || r.Has("serial");
  if (needSerial && !r.Serial(usb.serial)) return -7;
  return 0;
}

int ParseLan(const UnitReader& r, int32_t com, WatchLanInfo& lan) {
  if (!r.AnsiText("ipAddr", lan.ipAddr)) return -8;
  if (!r.Int("port", lan.port)) return -9;
  if (!r.AnsiText("lanPassword", lan.lanPassword)) return -11;
  if (com == 3) {
    if (r.Has("serial") && !r.Serial(lan.serial)) return -7;
    return 0;
  }
  if (!r.Text("descr", lan.descr)) return -4;
  if (!r.Text("model", lan.model)) return -5;
  if (!r.Text("name", lan.name)) return -6;
  if (!r.Serial(lan.serial)) return -7;
  if (!r.Text("mac", lan.mac)) return -10;
  return 0;
}

[[noreturn]] void Invalid(const char* kind, int number) {
  throw Sorrel::cef::JsArgumentException(
      -2, Sorrel::cef::MsgInvalid("comInfo") + lm::text::Format("(%s:%d)'", kind, number));
}

}  // namespace

uint32_t ParseSerialText(const std::string& text) {
  uint64_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else break;
    value = value * 16 + static_cast<uint64_t>(digit);
    if (value > 0xFFFFFFFFu) return 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(value);
}

ComInfo ParseComInfo(const lm::json::Value& args) {
  ArgReader reader(args);
  const lm::json::Object* obj = reader.Object("comInfo");
  int32_t com = 0;
  reader.Int32("comInfo.com", com);
  UnitReader unit(*obj);
  ComInfo info;
  if (com == 1) {
    info.usb = std::make_shared<WatchUsbInfo>();
    if (int n = ParseUsb(unit, *info.usb)) Invalid("WatchUsbInfo", n);
  } else if (com == 2 || com == 3) {
    info.lan = std::make_shared<WatchLanInfo>();
    if (int n = ParseLan(unit, com, *info.lan)) Invalid("WatchLanInfo", n);
  } else {
    throw Sorrel::cef::JsArgumentException(-2, Sorrel::cef::MsgInvalid("comInfo.com"));
  }
  return info;
}

// Built on every device call, so without a printf; the address is taken up
// to a NUL, as "%s" took it.
std::string UnitKey(const ComInfo& info) {
  std::string key = info.usb ? "is_usb=true\n" : "is_usb=false\n";
  key += info.lan ? "is_lan=true\n" : "is_lan=false\n";
  if (info.usb && info.usb->model == "VL-B8") {
    key += "port=" + std::to_string(info.usb->port) + "\n";
  } else if (info.usb) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    key += "serial=";
    for (int shift = 28; shift >= 0; shift -= 4) key += kHex[(info.usb->serial >> shift) & 0xF];
    key += "\n";
  } else {
    key += "ipaddr=";
    key += info.lan->ipAddr.c_str();
    key += ":" + std::to_string(info.lan->port) + "X\n";
  }
  return key;
}

std::string ComInfo::Describe() const {
  if (lan && lan->serial == 0) return lm::text::Format("%s:%d", lan->ipAddr.c_str(), lan->port);
  return lm::text::Format("%s, serial %08X, model code %u", Model().c_str(), static_cast<unsigned>(Serial()),
                          static_cast<unsigned>(ModelCode(Serial())));
}

}  // namespace Sorrel::Com
