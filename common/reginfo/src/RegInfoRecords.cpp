// The four record classes of a registration image.
#include <algorithm>

#include "vantor/com/AdapterBase.h"
#include "vantor/com/RegInfoModel.h"
#include "vantor/com/RegInfoVelaGroup.h"
#include "vantor/com/RegInfoVelaHeader.h"
#include "vantor/com/RegInfoVelaRemoteUnit.h"
#include "vantor/com/RegInfoVelaRepeater.h"

namespace com::vantor {
namespace {

// True when the record's length field and type byte are the expected ones
// and the span holds exactly that many bytes.
bool IsRecord(std::span<const uint8_t> bytes, size_t length, uint8_t type) {
  AdapterBaseR r(bytes);
  return bytes.size() == length && r.U16(0) == length && r.U8(2) == type;
}

template <size_t N>
void Stamp(std::array<uint8_t, N>& bytes, uint8_t type) {
  bytes[0] = static_cast<uint8_t>(N & 0xFF);
  bytes[1] = static_cast<uint8_t>(N >> 8);
  bytes[2] = type;
}

}  // namespace

RegInfoVelaHeader::RegInfoVelaHeader(uint8_t groupCount, uint32_t serial) {
  Stamp(bytes_, kType);
  AdapterBaseW w(bytes_);
  w.SetU8(3, groupCount);
  w.SetU32(4, serial);
}

std::optional<RegInfoVelaHeader> RegInfoVelaHeader::FromBytes(std::span<const uint8_t> bytes) {
  if (!IsRecord(bytes, kLength, kType)) return std::nullopt;
  RegInfoVelaHeader h;
  std::copy(bytes.begin(), bytes.end(), h.bytes_.begin());
  return h;
}

uint32_t RegInfoVelaHeader::Serial() const { return AdapterBaseR(bytes_).U32(4); }

RegInfoVelaGroup::RegInfoVelaGroup() { Stamp(bytes_, kType); }

std::optional<RegInfoVelaGroup> RegInfoVelaGroup::FromBytes(std::span<const uint8_t> bytes) {
  if (!IsRecord(bytes, kLength, kType)) return std::nullopt;
  RegInfoVelaGroup g;
  std::copy(bytes.begin(), bytes.end(), g.bytes_.begin());
  return g;
}

std::string RegInfoVelaGroup::Name() const { return AdapterBaseR(bytes_).Text(16, kNameLength); }

void RegInfoVelaGroup::SetId(std::span<const uint8_t, kIdLength> id) {
  std::copy(id.begin(), id.end(), bytes_.begin() + 8);
}

void RegInfoVelaGroup::SetName(const std::string& bytes) { AdapterBaseW(bytes_).SetText(16, kNameLength, bytes); }

RegInfoVelaRepeater::RegInfoVelaRepeater(uint8_t num, uint8_t parent, uint32_t serial) {
  Stamp(bytes_, kType);
  AdapterBaseW w(bytes_);
  w.SetU8(3, num);
  w.SetU8(4, parent);
  w.SetU32(6, serial);
}

std::optional<RegInfoVelaRepeater> RegInfoVelaRepeater::FromBytes(std::span<const uint8_t> bytes) {
  if (!IsRecord(bytes, kLength, kType)) return std::nullopt;
  RegInfoVelaRepeater r;
  std::copy(bytes.begin(), bytes.end(), r.bytes_.begin());
  return r;
}

uint32_t RegInfoVelaRepeater::Serial() const { return AdapterBaseR(bytes_).U32(6); }

RegInfoVelaRemoteUnit::RegInfoVelaRemoteUnit(uint8_t type) : bytes_(kLength, 0) {
  bytes_[0] = static_cast<uint8_t>(kLength);
  bytes_[2] = type;
}

std::optional<RegInfoVelaRemoteUnit> RegInfoVelaRemoteUnit::FromBytes(std::span<const uint8_t> bytes) {
  AdapterBaseR r(bytes);
  if (bytes.size() != kLength && bytes.size() != kLongLength) return std::nullopt;
  if (r.U16(0) != bytes.size() || !IsRemoteUnitType(r.U8(2))) return std::nullopt;
  RegInfoVelaRemoteUnit u;
  u.bytes_.assign(bytes.begin(), bytes.end());
  return u;
}

uint32_t RegInfoVelaRemoteUnit::Serial() const { return AdapterBaseR(bytes_).U32(6); }

uint8_t RegInfoVelaRemoteUnit::ModelCode() const { return ModelCodeOf(Serial()); }

}  // namespace com::vantor
