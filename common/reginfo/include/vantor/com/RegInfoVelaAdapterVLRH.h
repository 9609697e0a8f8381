#pragma once
// Registration view of the VL-RH: download flag, tables, buzzer, LEDs and
// display settings. Settings-record view: AdapterVLRHRecv (AdapterVLRH.h).

#include "vantor/com/RegInfoVelaAdapter.h"

namespace com::vantor {

class RegInfoVelaAdapterVLRH : public RegInfoVelaAdapter {
 public:
  static constexpr uint8_t kRecordType = 0xF7;

  uint8_t RecordType() const override { return kRecordType; }
  uint8_t NameOffset() const override { return 16; }
  std::span<const RegInfoField> Fields(uint8_t modelCode) const override;
};

}  // namespace com::vantor
