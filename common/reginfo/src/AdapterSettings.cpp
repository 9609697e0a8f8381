// The settings-record views and the recorded-data header.
#include <algorithm>

#include "vantor/com/AdapterVLRA.h"
#include "vantor/com/AdapterVLRD.h"
#include "vantor/com/AdapterVLRH.h"
#include "vantor/com/IntervalEncoding.h"
#include "vantor/com/RecordedDataHeader.h"
#include "vantor/com/RegInfoModel.h"
#include "vantor/com/SettingsReadBack.h"
#include "vantor/detail/VtChType.h"

namespace com::vantor {
namespace {

bool Store(AdapterBaseW& w, size_t offset, std::optional<uint8_t> byte) {
  if (!byte) return false;
  w.SetU8(offset, *byte);
  return true;
}

}  // namespace

void AdapterVLRASend::SetId(std::span<const uint8_t, 8> id) {
  for (size_t i = 0; i < id.size(); ++i) SetU8(2 + i, id[i]);
}

bool AdapterVLRASend::SetRecordingInterval(int seconds) { return Store(*this, 18, interval::EncodeMinutes(seconds)); }
bool AdapterVLRASend::SetSecondInterval(int seconds) { return Store(*this, 19, interval::EncodeMinutes(seconds)); }
int AdapterVLRASend::RecordingInterval() const { return interval::DecodeMinutes(Reader().U8(18)); }
int AdapterVLRASend::SecondInterval() const { return interval::DecodeMinutes(Reader().U8(19)); }

void AdapterVLRASend::SetFlags(uint8_t flags) {
  SetU8(30, flags);
  SetU8(31, static_cast<uint8_t>(~flags));
}

void AdapterVLRASend::SetReadBackRequested(bool on) {
  SetFlags(on ? (Flags() | kReadBackFlag) : (Flags() & ~kReadBackFlag));
}

uint8_t AdapterVLRARecv::ModelCode() const { return ModelCodeOf(Serial()); }
int AdapterVLRARecv::RecordingInterval() const { return interval::DecodeMinutes(U8(18)); }
int AdapterVLRARecv::SecondInterval() const { return interval::DecodeMinutes(U8(19)); }

bool AdapterVLRDSend::SetRecordingInterval(int seconds) {
  return Store(*this, 18, interval::EncodeVlrdRecording(seconds));
}
bool AdapterVLRDSend::SetSecondInterval(int seconds) { return Store(*this, 19, interval::EncodeVlrdSecond(seconds)); }
int AdapterVLRDSend::RecordingInterval() const { return interval::DecodeVlrd(Reader().U8(18), false); }
int AdapterVLRDSend::SecondInterval() const { return interval::DecodeVlrd(Reader().U8(19), true); }

bool AdapterVLRDSend::SetMeasurementInterval(unsigned value) {
  if (value > 15) return false;
  SetBits(41, 0, 4, value);
  return true;
}

int AdapterVLRDRecv::RecordingInterval() const { return interval::DecodeVlrd(U8(18), false); }
int AdapterVLRDRecv::SecondInterval() const { return interval::DecodeVlrd(U8(19), true); }

uint8_t AdapterVLRHRecv::ModelCode() const { return ModelCodeOf(Serial()); }

bool SettingsReadBackMatches(std::span<const uint8_t> written, std::span<const uint8_t> readBack) {
  AdapterBaseR w(written, AdapterVLRASend::kLength);
  AdapterVLRARecv r(readBack);
  if (!w.IsValid() || !r.IsValid()) return false;
  bool sensorChecked = r.ModelCode() == 97 && (r.Subtype() == 161 || r.Subtype() == 162);
  if (!sensorChecked) return true;
  bool readBackAsked = (w.U8(30) & AdapterVLRASend::kReadBackFlag) != 0;
  return !readBackAsked || w.U8(16) == r.CompareByte();
}

uint8_t RecordedDataHeader::ModelCode() const { return ModelCodeOf(ModelWord()); }

int RecordedDataHeader::RecordWidth() const {
  using ::vantor::detail::VtChTypeBase;
  int width = VtChTypeBase::FromCode(ChType1()).Width();
  if (ChType2() != 0) width += VtChTypeBase::FromCode(ChType2()).Width();
  return width;
}

}  // namespace com::vantor
