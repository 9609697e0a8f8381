#include "linkmeter/sim/RadioModel.h"

#include <algorithm>
#include <cmath>

namespace linkmeter::sim {
namespace {

std::uint32_t Mix(std::uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

int Clamp(double v, int lo, int hi) {
  return std::clamp(static_cast<int>(std::lround(v)), lo, hi);
}

}  // namespace

RadioModel::RadioModel(const RadioSpec& design, std::int64_t startUnix) : design_(design), startUnix_(startUnix) {}

double RadioModel::Wander(std::uint32_t key, std::int64_t t, int periodSec) const {
  auto bucket = static_cast<std::uint32_t>(t / periodSec);
  std::uint32_t h = Mix(key ^ Mix(bucket ^ Mix(design_.seed)));
  return static_cast<double>(h % 2001) / 1000.0 - 1.0;
}

std::optional<int> RadioModel::LinkLevel(double distanceM, std::uint32_t linkKey, std::int64_t t) const {
  if (distanceM > design_.rangeM) return std::nullopt;
  double base = 230.0 - 40.0 * std::log10(std::max(distanceM, 10.0));
  // Slow fading over ten minutes plus a small change from one reading to the next.
  double fade = 6.0 * Wander(linkKey, t, 600) + 2.0 * Wander(linkKey * 31 + 7, t, 5);
  return Clamp(base + fade, 1, 255);
}

void RadioModel::MoveUnit(std::uint32_t serial, double distanceM) {
  std::lock_guard lock(changesMutex_);
  moved_[serial] = distanceM;
}

void RadioModel::PinLevel(std::uint32_t serial, std::optional<int> level) {
  std::lock_guard lock(changesMutex_);
  if (level) pinned_[serial] = std::clamp(*level, 1, 255);
  else pinned_.erase(serial);
}

std::optional<int> RadioModel::HopLevel(std::uint32_t serial, double designedM, std::uint32_t linkKey,
                                        std::int64_t t) const {
  double distanceM = designedM;
  {
    std::lock_guard lock(changesMutex_);
    if (auto it = pinned_.find(serial); it != pinned_.end()) return it->second;
    if (auto it = moved_.find(serial); it != moved_.end()) distanceM = it->second;
  }
  return LinkLevel(distanceM, linkKey, t);
}

int RadioModel::Battery(double startPct, double drainPerDay, std::uint32_t unitKey, std::int64_t t) const {
  double days = static_cast<double>(std::max<std::int64_t>(0, t - startUnix_)) / 86400.0;
  // Cold nights read a little lower: a daily swing of one percent.
  double swing = std::sin(static_cast<double>(t % 86400) / 86400.0 * 6.2831853) * 1.0;
  return Clamp(startPct - drainPerDay * days + swing + 0.4 * Wander(unitKey, t, 60), 0, 100);
}

int RadioModel::ChannelLevel(int channel, const std::set<int>& ownChannels,
                             const std::map<int, int>& interference, std::uint64_t reading) const {
  auto key = static_cast<std::uint32_t>(channel) * 2654435761u;
  // Wander over readings rather than seconds: the rounds of a scan come
  // faster than any period of time would change them.
  auto nth = static_cast<std::int64_t>(reading);
  double level = 22.0 + 5.0 * Wander(key, nth, 1);
  if (ownChannels.count(channel)) level += 30.0 + 10.0 * Wander(key + 1, nth, 1);
  if (auto it = interference.find(channel); it != interference.end()) {
    const std::int64_t stretch = nth / 3;
    const bool heard = stretch == 0 || Wander(key + 3, stretch, 1) > -0.4;  // about 70% of stretches
    if (heard) level += it->second * (0.85 + 0.15 * Wander(key + 2, nth, 1));
  }
  return Clamp(level, 0, 255);
}

}  // namespace linkmeter::sim
