#include "Datagram.h"

#include <algorithm>
#include <cstring>

namespace netseek {
namespace {

void Put32(Datagram& d, std::size_t at, std::uint32_t value) {
  std::memcpy(d.data() + at, &value, sizeof value);
}

std::uint32_t Get32(const Datagram& d, std::size_t at) {
  std::uint32_t value;
  std::memcpy(&value, d.data() + at, sizeof value);
  return value;
}

}  // namespace

Datagram MakeRequest(Command command) {
  Datagram d{};
  d[offset::kMagic] = kMagic;
  d[offset::kVersion] = kVersion;
  d[offset::kCommand] = static_cast<std::uint8_t>(command);
  return d;
}

Datagram MakeParamDatagram(const UnitFields& fields) {
  Datagram d = MakeRequest(Command::kSetParam);
  d[offset::kSetting] = fields.setting;
  std::copy(fields.mac.begin(), fields.mac.end(), d.begin() + offset::kMac);
  Put32(d, offset::kIpAddr, fields.ipAddr);
  Put32(d, offset::kValue16, fields.value16);
  Put32(d, offset::kValue20, fields.value20);
  Put32(d, offset::kValue24, fields.value24);
  Put32(d, offset::kValue28, fields.value28);
  d[offset::kPort] = static_cast<std::uint8_t>(fields.port & 0xFF);
  d[offset::kPort + 1] = static_cast<std::uint8_t>(fields.port >> 8);
  std::copy(fields.block.begin(), fields.block.end(), d.begin() + offset::kBlock);
  return d;
}

bool HasHeader(std::span<const std::uint8_t> bytes, Command command) {
  return bytes.size() > offset::kCommand && bytes[offset::kMagic] == kMagic &&
         bytes[offset::kVersion] == kVersion &&
         bytes[offset::kCommand] == static_cast<std::uint8_t>(command);
}

std::uint8_t StatusOf(const Datagram& datagram) { return datagram[offset::kStatus]; }

bool IsSameUnit(const Datagram& a, const Datagram& b) {
  return std::equal(a.begin() + kUnitKeyOffset, a.begin() + kUnitKeyOffset + kUnitKeySize,
                    b.begin() + kUnitKeyOffset);
}

std::uint16_t ReadPort(const Datagram& datagram) {
  return static_cast<std::uint16_t>(datagram[offset::kPort] |
                                    (datagram[offset::kPort + 1] << 8));
}

UnitFields ReadFields(const Datagram& datagram) {
  UnitFields f;
  f.ipAddr = Get32(datagram, offset::kIpAddr);
  f.value16 = Get32(datagram, offset::kValue16);
  f.value20 = Get32(datagram, offset::kValue20);
  f.value24 = Get32(datagram, offset::kValue24);
  f.value28 = Get32(datagram, offset::kValue28);
  std::copy_n(datagram.begin() + offset::kMac, kMacSize, f.mac.begin());
  f.setting = datagram[offset::kSetting];
  f.port = ReadPort(datagram);
  std::copy_n(datagram.begin() + offset::kBlock, kBlockSize, f.block.begin());
  return f;
}

}  // namespace netseek
