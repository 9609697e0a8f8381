#pragma once
// Registration view of the VL-RF: four measured channels, two cumulative
// ones with an upper limit only, button locks and display rotation.

#include "vantor/com/RegInfoVelaAdapter.h"

namespace com::vantor {

class RegInfoVelaAdapterVLRF : public RegInfoVelaAdapter {
 public:
  static constexpr uint8_t kRecordType = 0xF9;

  uint8_t RecordType() const override { return kRecordType; }
  uint8_t NameOffset() const override { return 12; }
  std::span<const RegInfoField> Fields(uint8_t modelCode) const override;
};

}  // namespace com::vantor
