#pragma once
// Asks several USB base units who they are at once: a unit that keeps quiet
// costs its probe's time limit once, not once per quiet unit before it.

#include <cstdint>
#include <vector>

#include "sorrel/com/UsbUnitProbe.h"

namespace Sorrel::Com {

// How many units are probed at the same time.
inline constexpr int kUsbProbesAtOnce = 8;

struct UsbProbeTarget {
  uint32_t serial = 0;
  int32_t port = 0;
};

struct UsbProbeResult {
  ProbeOutcome outcome = ProbeOutcome::kSkipped;
  WatchUsbInfo info;
};

// Probes every target (ProbeUsbUnit), at most `atOnce` at a time; the
// results come in the targets' order. Returns when every probe has ended.
std::vector<UsbProbeResult> ProbeUsbUnits(ComExecutorTable& table, const std::vector<UsbProbeTarget>& targets,
                                          lm::CancelToken* cancel, int atOnce = kUsbProbesAtOnce);

}  // namespace Sorrel::Com
