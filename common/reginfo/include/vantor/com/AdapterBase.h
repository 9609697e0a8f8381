#pragma once
// Byte views over one fixed-length record: AdapterBaseR reads, AdapterBaseW
// writes. Multi-byte fields are little-endian. Reads outside the record give
// 0 and writes outside it are ignored, so a short or hostile record can never
// be read or written past its end; IsValid() tells whether the record has the
// length the view expects.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace com::vantor {

class AdapterBaseR {
 public:
  // `expectedLength` 0 accepts any length.
  explicit AdapterBaseR(std::span<const uint8_t> bytes, size_t expectedLength = 0)
      : bytes_(bytes), expected_(expectedLength) {}
  virtual ~AdapterBaseR() = default;

  bool IsValid() const { return expected_ == 0 || bytes_.size() == expected_; }
  size_t Size() const { return bytes_.size(); }
  std::span<const uint8_t> Bytes() const { return bytes_; }

  uint8_t U8(size_t offset) const { return offset < bytes_.size() ? bytes_[offset] : 0; }
  uint16_t U16(size_t offset) const;
  uint32_t U32(size_t offset) const;
  uint64_t U64(size_t offset) const;
  bool Bit(size_t offset, unsigned bit) const { return (U8(offset) >> bit) & 1u; }
  // `bits` bits starting at bit `shift` of one byte.
  unsigned Bits(size_t offset, unsigned shift, unsigned bits) const {
    return (U8(offset) >> shift) & ((1u << bits) - 1u);
  }
  // Bytes up to the first NUL inside [offset, offset + length).
  std::string Text(size_t offset, size_t length) const;

 private:
  std::span<const uint8_t> bytes_;
  size_t expected_;
};

class AdapterBaseW {
 public:
  explicit AdapterBaseW(std::span<uint8_t> bytes, size_t expectedLength = 0)
      : bytes_(bytes), expected_(expectedLength) {}
  virtual ~AdapterBaseW() = default;

  bool IsValid() const { return expected_ == 0 || bytes_.size() == expected_; }
  size_t Size() const { return bytes_.size(); }
  std::span<uint8_t> Bytes() const { return bytes_; }
  // A read view over the same bytes.
  AdapterBaseR Reader() const { return AdapterBaseR(bytes_, expected_); }

  void SetU8(size_t offset, uint8_t value) {
    if (offset < bytes_.size()) bytes_[offset] = value;
  }
  void SetU16(size_t offset, uint16_t value);
  void SetU32(size_t offset, uint32_t value);
  void SetBit(size_t offset, unsigned bit, bool on);
  void SetBits(size_t offset, unsigned shift, unsigned bits, unsigned value);
  // Zero-fills [offset, offset + length) and copies at most `length` bytes in.
  void SetText(size_t offset, size_t length, const std::string& bytes);

 private:
  std::span<uint8_t> bytes_;
  size_t expected_;
};

}  // namespace com::vantor
