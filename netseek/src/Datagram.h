#pragma once
// The 256-byte datagram that travels in both directions: the search request,
// the parameter datagram and every answer. Multi-byte address values are kept
// as they travel (first octet first); the port is least significant byte first.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace netseek {

inline constexpr std::size_t kDatagramSize = 256;
using Datagram = std::array<std::uint8_t, kDatagramSize>;

inline constexpr std::uint8_t kMagic = 0x50;
inline constexpr std::uint8_t kVersion = 1;

enum class Command : std::uint8_t { kSearch = 1, kSetParam = 2 };

namespace offset {
inline constexpr std::size_t kMagic = 0;
inline constexpr std::size_t kVersion = 1;
inline constexpr std::size_t kCommand = 2;
inline constexpr std::size_t kStatus = 3;
inline constexpr std::size_t kSetting = 5;
inline constexpr std::size_t kMac = 6;
inline constexpr std::size_t kIpAddr = 12;
inline constexpr std::size_t kValue16 = 16;
inline constexpr std::size_t kValue20 = 20;
inline constexpr std::size_t kValue24 = 24;
inline constexpr std::size_t kValue28 = 28;
inline constexpr std::size_t kPort = 32;
inline constexpr std::size_t kSerial = 34;
inline constexpr std::size_t kName = 42;
inline constexpr std::size_t kDescr = 74;
inline constexpr std::size_t kBlock = 192;
}  // namespace offset

inline constexpr std::size_t kMacSize = 6;
inline constexpr std::size_t kSerialSize = 8;
inline constexpr std::size_t kNameSize = 32;
inline constexpr std::size_t kDescrSize = 64;
inline constexpr std::size_t kBlockSize = 64;
// MAC and IPv4 address: two answers with equal bytes here are the same unit.
inline constexpr std::size_t kUnitKeyOffset = offset::kMac;
inline constexpr std::size_t kUnitKeySize = 10;

// The fields a unit reports and the parameter datagram carries.
struct UnitFields {
  std::uint32_t ipAddr = 0;
  std::uint32_t value16 = 0;
  std::uint32_t value20 = 0;
  std::uint32_t value24 = 0;
  std::uint32_t value28 = 0;
  std::array<std::uint8_t, kMacSize> mac{};
  std::uint8_t setting = 0;
  std::uint16_t port = 0;
  std::array<std::uint8_t, kBlockSize> block{};
};

// Bytes 0 to 2 set for `command`, every other byte zero.
Datagram MakeRequest(Command command);
// The parameter datagram: header for kSetParam, status zero, `fields` in place.
Datagram MakeParamDatagram(const UnitFields& fields);

// True when bytes 0 to 2 are the magic, version 1 and `command`.
bool HasHeader(std::span<const std::uint8_t> bytes, Command command);
std::uint8_t StatusOf(const Datagram& datagram);
bool IsSameUnit(const Datagram& a, const Datagram& b);

// The fixed-size fields of a stored answer (texts are not part of UnitFields).
UnitFields ReadFields(const Datagram& datagram);
std::uint16_t ReadPort(const Datagram& datagram);

}  // namespace netseek
