#include "vantor/com/RecordedTimes.h"

namespace com::vantor {
namespace {

constexpr std::uint16_t kFullMemory = 32000;
constexpr std::uint16_t kHalfMemory = 16000;
constexpr std::uint8_t kShiftedSubtype = 0xA5;
constexpr std::uint8_t kHalfMemoryChType = 0x42;

// Records of this header's width in `bytes`; 0 when the width is unknown.
std::int64_t Records(const RecordedDataHeader& h, std::size_t bytes) {
  const int width = h.RecordWidth();
  return width > 0 ? static_cast<std::int64_t>(bytes / static_cast<std::size_t>(width)) : 0;
}

// start + (n − 1) × interval, one interval later for a model 97 marked 0xA5.
std::int64_t FromStart(const RecordedDataHeader& h) {
  const auto start = static_cast<std::int64_t>(h.StartTime());
  const std::int64_t n = Records(h, h.StoredBytes());
  std::int64_t last = n <= 1 ? start : start + (n - 1) * h.Interval();
  if (h.ModelCode() == 97 && h.Subtype() == kShiftedSubtype) last += h.Interval();
  return last;
}

bool FullRadio(const RecordedDataHeader& h) {
  const std::uint8_t model = h.ModelCode();
  if (model == 98) return h.StoredBytes() == (h.ChType1() == kHalfMemoryChType ? kHalfMemory : kFullMemory);
  const bool listed = (model >= 92 && model <= 94) || model == 96 || model == 97;
  return listed && h.StoredBytes() == kFullMemory;
}

}  // namespace

RecordedDataHeader HeaderView(const std::string& header) {
  return RecordedDataHeader(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(header.data()), header.size()));
}

std::int64_t LastTimeOptical(const RecordedDataHeader& h, std::int64_t now) {
  const std::uint8_t model = h.ModelCode();
  const bool stoppedFull = h.State() == 0 && model >= 92 && model <= 94 && h.StoredBytes() == kFullMemory;
  if (h.StartTime() == 0 || stoppedFull) return now - static_cast<std::int64_t>(h.Age());
  return FromStart(h);
}

std::int64_t LastTimeRadio(const RecordedDataHeader& h, std::int64_t notedNow, std::int64_t timeField) {
  if ((h.State() == 0 && FullRadio(h)) || h.StartTime() == 0) {
    return notedNow - static_cast<std::int64_t>(h.Age()) + timeField;
  }
  return FromStart(h);
}

std::int64_t FirstTime(const RecordedDataHeader& h, std::int64_t last, std::size_t collectedBytes) {
  const std::int64_t m = Records(h, collectedBytes);
  return m <= 1 ? last : last - (m - 1) * h.Interval();
}

}  // namespace com::vantor
