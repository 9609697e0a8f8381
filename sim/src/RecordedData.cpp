#include "linkmeter/sim/RecordedData.h"

#include <algorithm>
#include <cmath>

#include "vantor/detail/VtChTypeBase.h"

namespace linkmeter::sim {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// Position in the day, 0..1, for daily cycles.
double DayPhase(std::int64_t t) { return static_cast<double>(t % 86400) / 86400.0; }

double Jitter(std::uint32_t key, std::int64_t t) {
  std::uint32_t x = key * 2654435761u ^ static_cast<std::uint32_t>(t / 60) * 40503u;
  x ^= x >> 13;
  x *= 0x5BD1E995u;
  x ^= x >> 15;
  return static_cast<double>(x % 1000) / 1000.0 - 0.5;
}

// Packs a non-negative count into the 12-bit mantissa / 4-bit exponent form.
std::uint32_t PackFloat12(std::uint32_t n) {
  if (n < 4096) return n;
  std::uint32_t e = 0;
  for (;;) {
    ++e;
    if (n < 8192) return (n >> 1) + e * 4096;
    n >>= 1;
  }
}

}  // namespace

void PutLe(std::string& bytes, std::size_t offset, std::uint64_t value, std::size_t width) {
  if (bytes.size() < offset + width) bytes.resize(offset + width, '\0');
  for (std::size_t i = 0; i < width; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint64_t GetLe(const std::string& bytes, std::size_t offset, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < width && offset + i < bytes.size(); ++i) {
    value |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  }
  return value;
}

std::size_t RecordWidth(const std::vector<int>& chTypes) {
  std::size_t width = 0;
  for (int code : chTypes) width += static_cast<std::size_t>(vantor::detail::VtChTypeBase::FromCode(code).Width());
  return width;
}

std::uint32_t ChannelValue(int chType, std::uint32_t unitKey, int index, std::int64_t t) {
  double day = std::sin((DayPhase(t) - 0.25) * kTwoPi);  // peaks mid-afternoon
  double j = Jitter(unitKey + static_cast<std::uint32_t>(index) * 97u, t);
  switch (chType) {
    case 13: case 14: return static_cast<std::uint32_t>(std::lround((18.0 + 6.0 * day + j) * 10.0) + 1000);
    case 208: case 209: return static_cast<std::uint32_t>(std::lround((62.0 - 15.0 * day + 2 * j) * 10.0) + 1000);
    case 65: return static_cast<std::uint32_t>(std::lround((1008.0 + 4 * j) * 10.0));
    case 129: return static_cast<std::uint32_t>(std::lround((12.0 + 4.0 * day + j) * 100.0));
    case 146: return static_cast<std::uint32_t>(std::lround((250.0 + 80.0 * day + 5 * j) * 10.0)) & 0x0FFF;
    case 77: case 78: case 352: return static_cast<std::uint32_t>(std::max(0.0, 10.0 + 10.0 * day + 8 * j));
    case 73: return PackFloat12(static_cast<std::uint32_t>(std::max(0.0, 30000.0 * day + 500 * j) * 100.0));
    case 85: return PackFloat12(static_cast<std::uint32_t>(std::max(0.0, 2.0 * day) * 1000.0));
    case 333: case 334: case 589: case 590: return static_cast<std::uint32_t>((t / 60) % 1000000);
    default: return static_cast<std::uint32_t>(std::lround(100 + 50 * day));
  }
}

std::size_t MemoryBytes(const RemoteUnitSpec& unit) {
  const bool half = ModelCode(unit.serial) == 98 && !unit.chTypes.empty() && unit.chTypes[0] == 0x42;
  return half ? kMemoryBytes / 2 : kMemoryBytes;
}

namespace {

bool KeepsStaleStart(const RemoteUnitSpec& unit, bool viaRadio) {
  const int model = ModelCode(unit.serial);
  if (model >= 92 && model <= 94) return true;
  return viaRadio && model >= 96 && model <= 98;
}

}  // namespace

RecordedBlock ReadRecorded(const RemoteUnitSpec& unit, const RecordingSpan& span, std::int64_t now,
                           const RecordSelection& selection) {
  const std::int64_t recordingSince = span.since;
  const std::int64_t interval = std::max(1, unit.intervalSec);
  const std::size_t width = std::max<std::size_t>(1, RecordWidth(unit.chTypes));
  const std::int64_t end = span.stoppedAt > 0 ? std::min(now, span.stoppedAt) : now;
  const std::int64_t total = end < recordingSince ? 0 : (end - recordingSince) / interval + 1;
  const auto capacity = static_cast<std::int64_t>(MemoryBytes(unit) / width);
  const std::int64_t stored = std::min(total, capacity);
  const std::int64_t first = total - stored;  // index of the oldest record kept
  auto timeOf = [&](std::int64_t k) { return recordingSince + k * interval; };
  const bool full = static_cast<std::size_t>(stored) * width == MemoryBytes(unit) && total > capacity;
  const bool staleStart = span.stoppedAt > 0 && full && KeepsStaleStart(unit, span.viaRadio);

  std::int64_t from = first;
  if (selection.kind == RecordSelection::Kind::kLast) {
    from = std::max(first, total - static_cast<std::int64_t>(selection.count));
  } else if (selection.kind == RecordSelection::Kind::kSince) {
    std::int64_t after = selection.since < recordingSince ? 0 : (selection.since - recordingSince) / interval + 1;
    from = std::max(first, after);
  }

  RecordedBlock block;
  for (std::int64_t k = from; k < total; ++k) {
    std::size_t offset = block.data.size();
    for (std::size_t c = 0; c < unit.chTypes.size(); ++c) {
      std::size_t w = RecordWidth({unit.chTypes[c]});
      PutLe(block.data, offset, ChannelValue(unit.chTypes[c], unit.serial, static_cast<int>(c), timeOf(k)), w);
      offset += w;
    }
  }
  block.lastRecordTime = stored > 0 ? timeOf(total - 1) : 0;

  std::string& h = block.header;
  h.assign(header::kSize, '\0');
  PutLe(h, header::kInterval, static_cast<std::uint64_t>(interval), 2);
  std::int64_t start = stored > 0 ? (staleStart ? recordingSince : timeOf(first)) : 0;
  // A VL-RD with subtype 0xA5 dates its records one interval early.
  if (start != 0 && ModelCode(unit.serial) == 97 && unit.subtype == 0xA5) start -= interval;
  PutLe(h, header::kStartTime, static_cast<std::uint64_t>(start), 8);
  h[header::kState] = span.stoppedAt > 0 ? 0 : 1;
  PutLe(h, header::kAge, static_cast<std::uint64_t>(stored > 0 ? now - block.lastRecordTime : 0), 4);
  PutLe(h, header::kSentBytes, block.data.size(), 2);
  PutLe(h, header::kStoredBytes, static_cast<std::uint64_t>(stored) * width, 2);
  PutLe(h, header::kSerial, unit.serial, 4);
  h[header::kChType1] = static_cast<char>(unit.chTypes.empty() ? 0 : unit.chTypes[0] & 0xFF);
  h[header::kChType2] = static_cast<char>(unit.chTypes.size() < 2 ? 0 : unit.chTypes[1] & 0xFF);
  h[header::kSubtype] = static_cast<char>(unit.subtype);
  return block;
}

}  // namespace linkmeter::sim
