#include "linkmeter/sim/SiteFile.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "lm/Json.h"
#include "lm/Text.h"

namespace linkmeter::sim {
namespace {

using lm::json::Value;

// A failure while reading; carries the path of the member at fault.
struct SiteError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Typed access to one JSON object, reporting members by their path.
class Reader {
 public:
  Reader(const Value& value, std::string path) : value_(value), path_(std::move(path)) {
    if (!value.is<lm::json::Object>()) Fail("", "must be an object");
  }

  bool Has(const std::string& key) const { return value_.contains(key); }
  const Value& Get(const std::string& key) const { return value_.get(key); }
  std::string Path(const std::string& key) const { return path_.empty() ? key : path_ + "." + key; }

  [[noreturn]] void Fail(const std::string& key, const std::string& what) const {
    throw SiteError(Path(key) + ": " + what);
  }

  std::string Text(const std::string& key, std::string fallback = {}) const {
    if (!Has(key)) return fallback;
    if (!Get(key).is<std::string>()) Fail(key, "must be text");
    return Get(key).get<std::string>();
  }
  double Number(const std::string& key, double fallback) const {
    if (!Has(key)) return fallback;
    if (!Get(key).is<double>()) Fail(key, "must be a number");
    return Get(key).get<double>();
  }
  int Integer(const std::string& key, int fallback, int lo, int hi) const {
    if (!Has(key)) return fallback;
    if (!lm::json::IsIntegral(Get(key), lo, hi)) {
      Fail(key, lm::text::Format("must be an integer %d..%d", lo, hi));
    }
    return static_cast<int>(Get(key).get<double>());
  }
  bool Bool(const std::string& key, bool fallback) const {
    if (!Has(key)) return fallback;
    if (!Get(key).is<bool>()) Fail(key, "must be true or false");
    return Get(key).get<bool>();
  }
  std::uint32_t Serial(const std::string& key, bool required) const {
    if (!Has(key)) {
      if (required) Fail(key, "is missing");
      return 0;
    }
    auto serial = ParseSerial(Text(key));
    if (!serial) Fail(key, "must be up to 8 hexadecimal digits");
    return *serial;
  }
  std::vector<std::uint8_t> Bytes(const std::string& key, std::size_t size) const {
    std::vector<std::uint8_t> bytes;
    if (!Has(key)) return bytes;
    const Value& v = Get(key);
    bool ok = v.is<lm::json::Array>() && v.get<lm::json::Array>().size() == size;
    if (ok) {
      for (const Value& b : v.get<lm::json::Array>()) {
        if (!lm::json::IsIntegral(b, 0, 255)) ok = false;
        else bytes.push_back(static_cast<std::uint8_t>(b.get<double>()));
      }
    }
    if (!ok) Fail(key, lm::text::Format("must be %zu numbers 0..255", size));
    return bytes;
  }
  // Each element of an array member, as an object reader.
  std::vector<Reader> Objects(const std::string& key) const {
    std::vector<Reader> out;
    if (!Has(key)) return out;
    if (!Get(key).is<lm::json::Array>()) Fail(key, "must be an array");
    const auto& array = Get(key).get<lm::json::Array>();
    for (std::size_t i = 0; i < array.size(); ++i) {
      out.emplace_back(array[i], Path(key) + lm::text::Format("[%zu]", i));
    }
    return out;
  }

 private:
  const Value& value_;
  std::string path_;
};

RemoteUnitSpec ReadRemoteUnit(const Reader& r) {
  RemoteUnitSpec u;
  u.serial = r.Serial("serial", true);
  u.subtype = r.Integer("subtype", 0, 0, 255);
  u.num = r.Integer("num", 1, 0, 255);
  u.parent = r.Integer("parent", 0, 0, 255);
  u.name = r.Text("name");
  u.distanceM = r.Number("distanceM", u.distanceM);
  u.batteryPct = r.Number("batteryPct", u.batteryPct);
  u.drainPctPerDay = r.Number("drainPctPerDay", u.drainPctPerDay);
  u.intervalSec = r.Integer("intervalSec", u.intervalSec, 1, 65535);
  u.stoppedAgoSec = r.Integer("stoppedAgoSec", 0, 0, 100000000);
  u.reachable = r.Bool("reachable", true);
  if (r.Has("chTypes")) {
    if (!r.Get("chTypes").is<lm::json::Array>()) r.Fail("chTypes", "must be an array");
    for (const Value& v : r.Get("chTypes").get<lm::json::Array>()) {
      if (!lm::json::IsIntegral(v, 0, 65535)) r.Fail("chTypes", "must hold channel-type codes");
      u.chTypes.push_back(static_cast<int>(v.get<double>()));
    }
    if (u.chTypes.empty() || u.chTypes.size() > 2) r.Fail("chTypes", "must hold 1 or 2 codes");
  } else {
    u.chTypes = DefaultChannelTypes(ModelCode(u.serial), u.subtype);
  }
  return u;
}

RepeaterSpec ReadRepeater(const Reader& r) {
  RepeaterSpec rep;
  rep.serial = r.Serial("serial", true);
  rep.num = r.Integer("num", 1, 0, 255);
  rep.parent = r.Integer("parent", 0, 0, 255);
  rep.distanceM = r.Number("distanceM", rep.distanceM);
  rep.batteryPct = r.Number("batteryPct", rep.batteryPct);
  rep.drainPctPerDay = r.Number("drainPctPerDay", rep.drainPctPerDay);
  rep.reachable = r.Bool("reachable", true);
  return rep;
}

GroupSpec ReadGroup(const Reader& r) {
  GroupSpec g;
  auto id = r.Bytes("id", 8);
  if (id.empty()) r.Fail("id", "is missing");
  std::copy(id.begin(), id.end(), g.id.begin());
  g.freq = r.Integer("freq", 0, 0, 255);
  g.band = r.Integer("band", 0, 0, 7);
  g.name = r.Text("name");
  if (g.name.size() > 8) r.Fail("name", "must be at most 8 bytes");
  for (const Reader& rep : r.Objects("repeaters")) g.repeaters.push_back(ReadRepeater(rep));
  for (const Reader& u : r.Objects("remoteUnits")) g.remoteUnits.push_back(ReadRemoteUnit(u));
  return g;
}

FaultRule ReadFault(const Reader& r) {
  FaultRule f;
  f.command = r.Text("command", "*");
  auto kind = FaultKindFromName(r.Text("kind"));
  if (!kind) r.Fail("kind", "is not a known fault");
  f.kind = *kind;
  f.delayMs = r.Integer("delayMs", 0, 0, 600000);
  f.times = r.Integer("times", -1, -1, 1000000);
  f.after = r.Integer("after", 0, 0, 1000000);
  f.unit = r.Serial("unit", false);
  if (r.Has("status")) {
    std::string text = r.Text("status");
    if (text.size() != 9 || text[4] != '-') r.Fail("status", "must read like 0004-0001");
    f.status = Status::FromText(text);
  }
  if (f.kind == FaultKind::kField) {
    f.field = r.Text("field");
    if (f.field.empty()) r.Fail("field", "names the answer field to replace");
    f.value = lm::text::Utf8ToAnsi(r.Text("value"));
  }
  if (f.kind == FaultKind::kCorrupt) {
    f.field = r.Text("field", "DATA");
    f.at = r.Integer("at", 0, 0, 65535);
  }
  return f;
}

std::map<std::string, com::vantor::FieldMap> ReadSettings(const Reader& r) {
  std::map<std::string, com::vantor::FieldMap> blocks;
  if (!r.Has("settings")) return blocks;
  Reader settings(r.Get("settings"), r.Path("settings"));
  for (const auto& [block, fields] : r.Get("settings").get<lm::json::Object>()) {
    Reader f(fields, settings.Path(block));
    for (const auto& [key, value] : fields.get<lm::json::Object>()) {
      if (value.is<std::string>()) {
        blocks[block][key] = lm::text::Utf8ToAnsi(value.get<std::string>());
      } else if (lm::json::IsIntegral(value, -2147483648.0, 2147483647.0)) {
        blocks[block][key] = lm::text::Format("%d", static_cast<int>(value.get<double>()));
      } else {
        f.Fail(key, "must be text or an integer");
      }
    }
  }
  return blocks;
}

void ReadLan(const Reader& r, BaseUnitSpec& b) {
  if (!r.Has("lan")) return;
  Reader lan(r.Get("lan"), r.Path("lan"));
  b.lanAddress = lan.Text("address", b.lanAddress);
  b.lanPort = lan.Integer("port", 0, 0, 65535);
  b.lanPassword = lan.Text("password");
}

BaseUnitSpec ReadBaseUnit(const Reader& r) {
  BaseUnitSpec b;
  b.serial = r.Serial("serial", true);
  b.name = r.Text("name");
  b.desc = r.Text("desc");
  b.usb = r.Bool("usb", false);
  ReadLan(r, b);
  if (!b.usb && !r.Has("lan")) r.Fail("lan", "is missing (a unit is on USB or on the LAN)");
  auto mac = r.Bytes("mac", 6);
  if (!mac.empty()) std::copy(mac.begin(), mac.end(), b.mac.begin());
  for (const Reader& g : r.Objects("groups")) b.groups.push_back(ReadGroup(g));
  if (r.Has("optical")) b.optical = ReadRemoteUnit(Reader(r.Get("optical"), r.Path("optical")));
  for (const Reader& i : r.Objects("interference")) {
    b.interference[i.Integer("channel", 0, 0, 255)] = i.Integer("level", 0, 0, 255);
  }
  b.settings = ReadSettings(r);
  for (const Reader& e : r.Objects("log")) {
    b.log.push_back({e.Integer("category", 0, 0, 255), e.Integer("number", 0, 0, 65535),
                     static_cast<std::int64_t>(e.Number("ageSec", 0)), e.Text("text")});
  }
  for (const Reader& f : r.Objects("faults")) b.faults.push_back(ReadFault(f));
  b.clockBusyMs = r.Integer("clockBusyMs", 0, 0, 600000);
  return b;
}

SiteSpec ReadSite(const Reader& r) {
  SiteSpec site;
  site.name = r.Text("name");
  if (r.Has("radio")) {
    Reader radio(r.Get("radio"), r.Path("radio"));
    site.radio.hopMs = radio.Integer("hopMs", site.radio.hopMs, 0, 60000);
    site.radio.cancelMs = radio.Integer("cancelMs", site.radio.cancelMs, 0, 60000);
    site.radio.rangeM = radio.Number("rangeM", site.radio.rangeM);
    site.radio.seed = static_cast<std::uint32_t>(radio.Number("seed", site.radio.seed));
  }
  if (r.Has("udp")) {
    Reader udp(r.Get("udp"), r.Path("udp"));
    site.udp.enabled = udp.Bool("enabled", true);
    site.udp.address = udp.Text("address", site.udp.address);
    site.udp.port = udp.Integer("port", site.udp.port, 0, 65535);
  }
  for (const Reader& b : r.Objects("baseUnits")) site.baseUnits.push_back(ReadBaseUnit(b));
  if (site.baseUnits.empty()) r.Fail("baseUnits", "must name at least one base unit");
  return site;
}

}  // namespace

std::optional<std::uint32_t> ParseSerial(const std::string& text) {
  if (text.empty() || text.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : text) {
    int digit = std::isxdigit(static_cast<unsigned char>(c))
                    ? (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::toupper(c) - 'A' + 10))
                    : -1;
    if (digit < 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

std::string SerialText(std::uint32_t serial) { return lm::text::Format("%08X", serial); }

std::optional<SiteSpec> ParseSite(std::string_view jsonText, std::string* error) {
  auto value = lm::json::Parse(jsonText);
  if (!value) {
    if (error) *error = "the site file is not valid JSON";
    return std::nullopt;
  }
  try {
    return ReadSite(Reader(*value, ""));
  } catch (const SiteError& e) {
    if (error) *error = e.what();
  } catch (const lm::text::ConversionError& e) {
    if (error) *error = std::string("a text cannot be converted: ") + e.what();
  }
  return std::nullopt;
}

std::optional<FaultRule> ParseFaultRule(std::string_view jsonText, std::string* error) {
  auto value = lm::json::Parse(jsonText);
  if (!value) {
    if (error) *error = "the fault is not valid JSON";
    return std::nullopt;
  }
  try {
    return ReadFault(Reader(*value, "fault"));
  } catch (const SiteError& e) {
    if (error) *error = e.what();
  }
  return std::nullopt;
}

std::optional<SiteSpec> LoadSiteFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot open " + path;
    return std::nullopt;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::string why;
  auto site = ParseSite(text.str(), &why);
  if (!site && error) *error = path + ": " + why;
  return site;
}

SiteSpec DemoSite() {
  std::string error;
  auto site = ParseSite(DemoSiteText(), &error);
  if (!site) throw std::logic_error("the built-in demo site does not parse: " + error);
  return *site;
}

std::vector<int> DefaultChannelTypes(int modelCode, int subtype) {
  constexpr int kCelsius = 13, kHumidity = 208, kCurrent = 129, kVoltage = 146, kPulse = 77;
  constexpr int kIlluminance = 73, kUv = 85;
  switch (modelCode) {
    case 94:
    case 99:
    case 96: return {kCelsius, kHumidity};
    case 97:
      switch (subtype) {
        case 163: return {kCurrent};
        case 164: return {kVoltage};
        case 165: return {kPulse};
        default: return {kCelsius};
      }
    case 98: return {kIlluminance, kUv};
    default: return {kCelsius};
  }
}

const BaseUnitSpec* SiteSpec::FindBaseUnit(std::uint32_t serial) const {
  for (const auto& b : baseUnits) {
    if (b.serial == serial) return &b;
  }
  return nullptr;
}

}  // namespace linkmeter::sim
