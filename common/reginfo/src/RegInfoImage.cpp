#include "vantor/com/RegInfoImage.h"

#include "vantor/com/RegInfoVelaHeader.h"

namespace com::vantor {
namespace {

void Put(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

}  // namespace

std::vector<uint8_t> RegInfoImage::ToBytes() const {
  std::vector<uint8_t> out;
  Put(out, RegInfoVelaHeader(static_cast<uint8_t>(groups.size()), serial).Bytes());
  for (const auto& g : groups) {
    RegInfoVelaGroup group = g.group;
    group.SetRepeaterCount(static_cast<uint8_t>(g.repeaters.size()));
    group.SetRemoteUnitCount(static_cast<uint8_t>(g.remoteUnits.size()));
    Put(out, group.Bytes());
    for (const auto& r : g.repeaters) Put(out, r.Bytes());
    for (const auto& u : g.remoteUnits) Put(out, u.Bytes());
  }
  return out;
}

}  // namespace com::vantor
