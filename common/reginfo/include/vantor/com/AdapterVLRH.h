#pragma once
// The VL-RH receive view of a settings record (layout in AdapterVLRA.h).

#include "vantor/com/AdapterVLRA.h"

namespace com::vantor {

class AdapterVLRHRecv : public AdapterBaseR {
 public:
  static constexpr size_t kLength = 64;

  explicit AdapterVLRHRecv(std::span<const uint8_t> record) : AdapterBaseR(record, kLength) {}

  uint32_t Serial() const { return U32(36); }
  uint8_t ModelCode() const;
  uint8_t CompareByte() const { return U8(16); }
};

}  // namespace com::vantor
