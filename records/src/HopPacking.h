// Packed hop statistics: the per-round rows of one unit over one visit, kept
// as a single compressed row once the visit's probes are gone. The packing is
// lossless: every field, every real to the bit, reads back as it was stored.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "lm/records/Records.h"

namespace lm::records {

struct PackedHop {
  RowId survey = 0;
  Millis surveyStartedAt = 0;
  HopStats stats;
};

// Entries in (survey, route, hop) order pack best; any order reads back as given.
Bytes PackHops(const std::vector<PackedHop>& hops);
// `unit` is the packed row's unit, set on every entry read back.
// Throws std::runtime_error on a damaged packing.
std::vector<PackedHop> UnpackHops(const Bytes& packed, int64_t unit);

}  // namespace lm::records
