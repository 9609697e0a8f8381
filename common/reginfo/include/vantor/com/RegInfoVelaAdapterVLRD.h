#pragma once
// Registration view of the VL-RD: one channel with sensor settings; the
// sensor type comes from the subtype at byte 36 and byte 38. Settings-record
// views: AdapterVLRDSend, AdapterVLRDRecv, AdapterVLRDPRecv (AdapterVLRD.h).

#include "vantor/com/RegInfoVelaAdapter.h"

namespace com::vantor {

class RegInfoVelaAdapterVLRD : public RegInfoVelaAdapter {
 public:
  static constexpr uint8_t kRecordType = 0xFA;

  uint8_t RecordType() const override { return kRecordType; }
  uint8_t NameOffset() const override { return 16; }
  std::span<const RegInfoField> Fields(uint8_t modelCode) const override;

 protected:
  void ReadExtra(const AdapterBaseR& r, lm::json::Object& out) const override;
  RegInfoError WriteExtra(const lm::json::Object& in, AdapterBaseW& w) const override;
};

}  // namespace com::vantor
