#pragma once
// How radio links and batteries behave over time: levels fall with distance
// and wander a little from minute to minute, batteries drain by the day.
// Deterministic for a given seed, so tests can rely on ranges.

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>

#include "linkmeter/sim/Site.h"

namespace linkmeter::sim {

class RadioModel {
 public:
  RadioModel(const RadioSpec& design, std::int64_t startUnix);

  // The level (1..255) a unit receives over a link of this length at unix
  // time t, or none when the link is longer than the range.
  std::optional<int> LinkLevel(double distanceM, std::uint32_t linkKey, std::int64_t t) const;
  // Battery value 0..100 after draining since the simulator started.
  int Battery(double startPct, double drainPerDay, std::uint32_t unitKey, std::int64_t t) const;
  // The level a base unit hears on a channel at its `reading`-th measurement
  // of that channel: a noise floor, its own groups' traffic and configured
  // interference, each varying from reading to reading. An interferer is
  // heard in the first three readings, then comes and goes in stretches of
  // three. The same seed and readings give the same levels.
  int ChannelLevel(int channel, const std::set<int>& ownChannels,
                   const std::map<int, int>& interference, std::uint64_t reading) const;

  const RadioSpec& Design() const { return design_; }

  // The site changing while it runs (control lines): a unit moved, so it
  // now stands `distanceM` from the unit before it on a route, or the level
  // it is heard at pinned (none: the distance decides again).
  void MoveUnit(std::uint32_t serial, double distanceM);
  void PinLevel(std::uint32_t serial, std::optional<int> level);
  // The level of the hop reaching `serial`: its pinned level, else the
  // link level over its moved or designed distance.
  std::optional<int> HopLevel(std::uint32_t serial, double designedM, std::uint32_t linkKey, std::int64_t t) const;

 private:
  // A value in [-1, 1] that changes every `periodSec` seconds.
  double Wander(std::uint32_t key, std::int64_t t, int periodSec) const;

  RadioSpec design_;
  std::int64_t startUnix_;
  mutable std::mutex changesMutex_;
  std::map<std::uint32_t, double> moved_;
  std::map<std::uint32_t, int> pinned_;
};

}  // namespace linkmeter::sim
