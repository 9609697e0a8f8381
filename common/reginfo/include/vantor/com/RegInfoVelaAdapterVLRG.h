#pragma once
// Registration view of the VL-RG: three channels in the VL-RF layout, with
// channels 2 and 3 in channel slots 2 and 3 (slot 1 unused).

#include "vantor/com/RegInfoVelaAdapter.h"

namespace com::vantor {

class RegInfoVelaAdapterVLRG : public RegInfoVelaAdapter {
 public:
  static constexpr uint8_t kRecordType = 0xF8;

  uint8_t RecordType() const override { return kRecordType; }
  uint8_t NameOffset() const override { return 12; }
  std::span<const RegInfoField> Fields(uint8_t modelCode) const override;
};

}  // namespace com::vantor
