#pragma once
// Registration view of the VL-RA family (VL-RA, VL-RB, VL-RC, VL-RE): one
// channel, two for VL-RC and VL-RE. The settings-record views of the family
// are AdapterVLRASend and AdapterVLRARecv (AdapterVLRA.h).

#include "vantor/com/RegInfoVelaAdapter.h"

namespace com::vantor {

class RegInfoVelaAdapterVLRA : public RegInfoVelaAdapter {
 public:
  static constexpr uint8_t kRecordType = 0xFE;

  uint8_t RecordType() const override { return kRecordType; }
  uint8_t NameOffset() const override { return 16; }
  std::span<const RegInfoField> Fields(uint8_t modelCode) const override;
};

}  // namespace com::vantor
