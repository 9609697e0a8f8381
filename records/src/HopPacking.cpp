#include "HopPacking.h"

#include <zlib.h>

#include <bit>
#include <cmath>
#include <stdexcept>
#include <utility>

namespace lm::records {
namespace {

constexpr uint8_t kVersion = 1;

uint64_t Zigzag(int64_t v) { return (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63); }
int64_t Unzigzag(uint64_t v) { return static_cast<int64_t>(v >> 1) ^ -static_cast<int64_t>(v & 1); }

void PutVarint(Bytes& out, uint64_t v) {
  while (v >= 0x80) {
    out.push_back(static_cast<uint8_t>(v | 0x80));
    v >>= 7;
  }
  out.push_back(static_cast<uint8_t>(v));
}

// A real as 0 (null), 1 + its eight bytes, or 2 + tenths when it is exactly
// a number of tenths (levels and batteries nearly always are).
void PutReal(Bytes& out, const std::optional<double>& v) {
  if (!v) return PutVarint(out, 0);
  const double tenths = std::nearbyint(*v * 10);
  if (std::abs(tenths) < 1e15 && tenths / 10 == *v && !(*v == 0 && std::signbit(*v))) {
    return PutVarint(out, 2 + Zigzag(static_cast<int64_t>(tenths)));
  }
  PutVarint(out, 1);
  const uint64_t bits = std::bit_cast<uint64_t>(*v);
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

class Reader {
 public:
  explicit Reader(const Bytes& in) : in_(in) {}
  uint64_t Varint() {
    uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      const uint8_t b = Byte();
      v |= static_cast<uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    throw std::runtime_error("packed hop statistics: bad number");
  }
  std::optional<double> Real() {
    const uint64_t tag = Varint();
    if (tag == 0) return std::nullopt;
    if (tag >= 2) return static_cast<double>(Unzigzag(tag - 2)) / 10;
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(Byte()) << (8 * i);
    return std::bit_cast<double>(bits);
  }
  bool AtEnd() const { return at_ == in_.size(); }

 private:
  uint8_t Byte() {
    if (at_ >= in_.size()) throw std::runtime_error("packed hop statistics: cut short");
    return in_[at_++];
  }
  const Bytes& in_;
  size_t at_ = 0;
};

// Column by column, each value as the difference from the one before where
// that is what repeats, so the compression finds long runs.
Bytes Columns(const std::vector<PackedHop>& hops) {
  Bytes out;
  PutVarint(out, hops.size());
  int64_t prev = 0;
  for (const auto& h : hops) PutVarint(out, Zigzag(h.survey - std::exchange(prev, h.survey)));
  prev = 0;
  for (const auto& h : hops) PutVarint(out, Zigzag(h.surveyStartedAt - std::exchange(prev, h.surveyStartedAt)));
  for (const auto& h : hops) PutVarint(out, Zigzag(h.stats.route));
  for (const auto& h : hops) PutVarint(out, Zigzag(h.stats.hop));
  for (const auto& h : hops) PutVarint(out, Zigzag(h.stats.fromUnit));
  for (const auto& h : hops) PutVarint(out, Zigzag(h.stats.sent));
  for (const auto& h : hops) PutVarint(out, Zigzag(h.stats.sent - h.stats.answered));
  for (const auto& h : hops) PutReal(out, h.stats.levelMin);
  for (const auto& h : hops) PutReal(out, h.stats.levelAvg);
  for (const auto& h : hops) PutReal(out, h.stats.levelMax);
  for (const auto& h : hops) PutReal(out, h.stats.battery);
  return out;
}

std::vector<PackedHop> FromColumns(const Bytes& in, int64_t unit) {
  Reader r(in);
  const uint64_t n = r.Varint();
  if (n > in.size()) throw std::runtime_error("packed hop statistics: bad count");
  std::vector<PackedHop> hops(n);
  int64_t prev = 0;
  for (auto& h : hops) h.survey = prev += Unzigzag(r.Varint());
  prev = 0;
  for (auto& h : hops) h.surveyStartedAt = prev += Unzigzag(r.Varint());
  for (auto& h : hops) h.stats.route = static_cast<int>(Unzigzag(r.Varint()));
  for (auto& h : hops) h.stats.hop = static_cast<int>(Unzigzag(r.Varint()));
  for (auto& h : hops) h.stats.fromUnit = Unzigzag(r.Varint());
  for (auto& h : hops) h.stats.sent = static_cast<int>(Unzigzag(r.Varint()));
  for (auto& h : hops) h.stats.answered = h.stats.sent - static_cast<int>(Unzigzag(r.Varint()));
  for (auto& h : hops) h.stats.levelMin = r.Real();
  for (auto& h : hops) h.stats.levelAvg = r.Real();
  for (auto& h : hops) h.stats.levelMax = r.Real();
  for (auto& h : hops) h.stats.battery = r.Real();
  for (auto& h : hops) h.stats.unit = unit;
  if (!r.AtEnd()) throw std::runtime_error("packed hop statistics: trailing bytes");
  return hops;
}

}  // namespace

Bytes PackHops(const std::vector<PackedHop>& hops) {
  const Bytes plain = Columns(hops);
  uLongf size = compressBound(plain.size());
  Bytes out(1 + 4 + size);
  out[0] = kVersion;
  for (int i = 0; i < 4; ++i) out[1 + i] = static_cast<uint8_t>(plain.size() >> (8 * i));
  if (compress2(out.data() + 5, &size, plain.data(), plain.size(), 9) != Z_OK) {
    throw std::runtime_error("packed hop statistics: compression failed");
  }
  out.resize(5 + size);
  return out;
}

std::vector<PackedHop> UnpackHops(const Bytes& packed, int64_t unit) {
  if (packed.size() < 5 || packed[0] != kVersion) throw std::runtime_error("packed hop statistics: unknown form");
  uLongf size = 0;
  for (int i = 0; i < 4; ++i) size |= static_cast<uLongf>(packed[1 + i]) << (8 * i);
  if (size > (1u << 30)) throw std::runtime_error("packed hop statistics: too large");
  Bytes plain(size);
  if (uncompress(plain.data(), &size, packed.data() + 5, packed.size() - 5) != Z_OK || size != plain.size()) {
    throw std::runtime_error("packed hop statistics: damaged");
  }
  return FromColumns(plain, unit);
}

}  // namespace lm::records
