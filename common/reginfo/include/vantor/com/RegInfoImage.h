#pragma once
// A registration image as records: the base unit's serial number and, per
// group, its group record, repeaters and remote units.

#include <cstdint>
#include <vector>

#include "vantor/com/RegInfoVelaGroup.h"
#include "vantor/com/RegInfoVelaRemoteUnit.h"
#include "vantor/com/RegInfoVelaRepeater.h"

namespace com::vantor {

struct RegInfoImage {
  struct Group {
    RegInfoVelaGroup group;
    std::vector<RegInfoVelaRepeater> repeaters;
    std::vector<RegInfoVelaRemoteUnit> remoteUnits;
  };

  uint32_t serial = 0;
  std::vector<Group> groups;

  // The byte form: header, then per group its group record (with the counts
  // of what follows), repeaters and remote units. Callers keep every count
  // within 255.
  std::vector<uint8_t> ToBytes() const;
};

}  // namespace com::vantor
