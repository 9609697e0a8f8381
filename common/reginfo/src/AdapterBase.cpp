#include "vantor/com/AdapterBase.h"

namespace com::vantor {

uint16_t AdapterBaseR::U16(size_t offset) const {
  return static_cast<uint16_t>(U8(offset) | (U8(offset + 1) << 8));
}

uint32_t AdapterBaseR::U32(size_t offset) const {
  return static_cast<uint32_t>(U16(offset)) | (static_cast<uint32_t>(U16(offset + 2)) << 16);
}

uint64_t AdapterBaseR::U64(size_t offset) const {
  return static_cast<uint64_t>(U32(offset)) | (static_cast<uint64_t>(U32(offset + 4)) << 32);
}

std::string AdapterBaseR::Text(size_t offset, size_t length) const {
  std::string out;
  for (size_t i = offset; i < offset + length && i < bytes_.size() && bytes_[i] != 0; ++i) {
    out.push_back(static_cast<char>(bytes_[i]));
  }
  return out;
}

void AdapterBaseW::SetU16(size_t offset, uint16_t value) {
  SetU8(offset, static_cast<uint8_t>(value & 0xFF));
  SetU8(offset + 1, static_cast<uint8_t>(value >> 8));
}

void AdapterBaseW::SetU32(size_t offset, uint32_t value) {
  SetU16(offset, static_cast<uint16_t>(value & 0xFFFF));
  SetU16(offset + 2, static_cast<uint16_t>(value >> 16));
}

void AdapterBaseW::SetBit(size_t offset, unsigned bit, bool on) {
  if (offset >= bytes_.size()) return;
  auto mask = static_cast<uint8_t>(1u << bit);
  bytes_[offset] = on ? (bytes_[offset] | mask) : (bytes_[offset] & ~mask);
}

void AdapterBaseW::SetBits(size_t offset, unsigned shift, unsigned bits, unsigned value) {
  if (offset >= bytes_.size()) return;
  unsigned mask = ((1u << bits) - 1u) << shift;
  bytes_[offset] = static_cast<uint8_t>((bytes_[offset] & ~mask) | ((value << shift) & mask));
}

void AdapterBaseW::SetText(size_t offset, size_t length, const std::string& bytes) {
  for (size_t i = 0; i < length; ++i) {
    SetU8(offset + i, i < bytes.size() ? static_cast<uint8_t>(bytes[i]) : 0);
  }
}

}  // namespace com::vantor
