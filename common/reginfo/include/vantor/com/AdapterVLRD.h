#pragma once
// The VL-RD views of the settings record (layout in AdapterVLRA.h), with the
// VL-RD interval encodings: recording interval in seconds | 0x80 below 128
// seconds unless whole minutes, second interval in seconds | 0x80 below 128
// seconds; minutes otherwise.

#include "vantor/com/AdapterVLRA.h"

namespace com::vantor {

class AdapterVLRDSend : public AdapterVLRASend {
 public:
  using AdapterVLRASend::AdapterVLRASend;

  bool SetRecordingInterval(int seconds) override;
  bool SetSecondInterval(int seconds) override;
  int RecordingInterval() const override;
  int SecondInterval() const override;

  uint8_t Subtype() const { return Reader().U8(62); }
  void SetSubtype(uint8_t subtype) { SetU8(62, subtype); }
  // Byte 41: bits 0..3 the measurement interval, bit 4 the measurement mode.
  unsigned MeasurementInterval() const { return Reader().Bits(41, 0, 4); }
  bool SetMeasurementInterval(unsigned value);
  bool MeasurementMode() const { return Reader().Bit(41, 4); }
  void SetMeasurementMode(bool on) { SetBit(41, 4, on); }
  // Byte 63, bit 0.
  bool OptionFlag() const { return Reader().Bit(63, 0); }
  void SetOptionFlag(bool on) { SetBit(63, 0, on); }
};

class AdapterVLRDRecv : public AdapterVLRARecv {
 public:
  using AdapterVLRARecv::AdapterVLRARecv;

  int RecordingInterval() const override;
  int SecondInterval() const override;
};

// The VL-RD-P (pulse) subtype: adds the measurement fields of byte 41 and the
// flag of byte 63.
class AdapterVLRDPRecv : public AdapterVLRDRecv {
 public:
  using AdapterVLRDRecv::AdapterVLRDRecv;
  static constexpr uint8_t kSubtype = 165;

  bool IsPulse() const { return Subtype() == kSubtype; }
  unsigned MeasurementInterval() const { return Bits(41, 0, 4); }
  bool MeasurementMode() const { return Bit(41, 4); }
  bool OptionFlag() const { return Bit(63, 0); }
};

}  // namespace com::vantor
