#include "sorrel/com/UsbProbeBatch.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace Sorrel::Com {

std::vector<UsbProbeResult> ProbeUsbUnits(ComExecutorTable& table, const std::vector<UsbProbeTarget>& targets,
                                          lm::CancelToken* cancel, int atOnce) {
  std::vector<UsbProbeResult> results(targets.size());
  std::atomic<size_t> next{0};
  // Each worker takes the next target until none is left; every result has
  // a slot of its own, so the workers share nothing else.
  auto work = [&] {
    for (size_t i = next++; i < targets.size(); i = next++) {
      results[i].outcome = ProbeUsbUnit(table, targets[i].serial, targets[i].port, results[i].info, cancel);
    }
  };
  const size_t helpers = std::min(targets.size(), static_cast<size_t>(std::max(atOnce, 1))) - (targets.empty() ? 0 : 1);
  {
    std::vector<std::jthread> workers;
    workers.reserve(helpers);
    for (size_t i = 0; i < helpers; ++i) workers.emplace_back(work);
    work();  // this thread is one of them
  }  // joined here
  return results;
}

}  // namespace Sorrel::Com
