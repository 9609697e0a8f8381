#include "sorrel/com/WatchUsb.h"

#include <algorithm>
#include <tuple>

#include "lm/ThreadRole.h"
#include "sorrel/com/UsbProbeBatch.h"
#include "vcomm/Vcomm.h"

namespace Sorrel {
namespace {

// A unit that did not answer: what it told an earlier search, at the port it
// holds now; else only what the bus tells.
Com::WatchUsbInfo Known(const UsbWatchState& state, Com::WatchUsbInfo fromBus) {
  auto it = state.known.find(fromBus.serial);
  if (it == state.known.end()) return fromBus;
  Com::WatchUsbInfo known = it->second;
  known.port = fromBus.port;
  return known;
}

}  // namespace

int UsbBusProbe::ConnectNum(Flags& flags, uint16_t deviceType) {
  LM_EXPECT_OFF_WINDOW_THREAD("UsbBusProbe::ConnectNum");
  return Vcomm_GetConnectNum(flags.data(), kSlots, deviceType, 1);
}

int UsbBusProbe::GetSerials(Serials& serials, uint16_t deviceType) {
  return Vcomm_GetSerial(serials.data(), kSlots, deviceType, 1);
}

UsbBusProbe& UsbBusProbe::Library() {
  static UsbBusProbe probe;
  return probe;
}

void WatchUsbDevice::Update(const Com::SearchUSBPrm&) { Apply(Scan(State(), nullptr)); }

void WatchUsbDevice::Clear() {
  list_.clear();
  complete_ = true;
}

void WatchUsbDevice::Apply(UsbScan scan) {
  if (!scan.rescanned || scan.cancelled) return;
  list_ = std::move(scan.list);
  complete_ = scan.complete;
  for (Com::WatchUsbInfo& unit : scan.answered) known_[unit.serial] = std::move(unit);
}

UsbScan WatchUsbDevice::Scan(const UsbWatchState& state, lm::CancelToken* cancel) const {
  UsbScan scan;
  UsbBusProbe::Flags flags{};
  const int count = probe_.ConnectNum(flags, deviceType_);
  if (count == static_cast<int>(state.listed) && state.complete) return scan;
  scan.rescanned = true;
  // A walk that stopped keeps the units found so far in walk order (unsorted).
  if (!Walk(flags, count, state, cancel, scan)) return scan;
  std::sort(scan.list.begin(), scan.list.end(), [](const Com::WatchUsbInfo& a, const Com::WatchUsbInfo& b) {
    return std::tie(a.serial, a.name, a.descr, a.model, a.port) < std::tie(b.serial, b.name, b.descr, b.model, b.port);
  });
  return scan;
}

bool WatchUsbDevice::Walk(UsbBusProbe::Flags flags, int count, const UsbWatchState& state, lm::CancelToken* cancel,
                          UsbScan& scan) const {
  UsbBusProbe::Serials serials{};
  const int got = probe_.GetSerials(serials, deviceType_);
  if (got < 0) return true;
  // The k-th flag belongs to the k-th serial only when both describe the same
  // bus: a unit plugged or pulled in between would shift every later one.
  if (got != count) {
    flags.fill(0);
    probe_.ConnectNum(flags, deviceType_);
  }
  std::vector<Com::UsbProbeTarget> targets;
  for (int slot = 0; slot < UsbBusProbe::kSlots && static_cast<int>(targets.size()) < got; ++slot) {
    if (flags[static_cast<size_t>(slot)] != 0) targets.push_back({serials[targets.size()], slot + 1});
  }
  // Asked at once; the answers are taken in slot order, as one walk would.
  for (Com::UsbProbeResult& probe : Com::ProbeUsbUnits(table_, targets, cancel)) {
    switch (probe.outcome) {
      case Com::ProbeOutcome::kCancelled: scan.cancelled = true; return false;
      case Com::ProbeOutcome::kStop: scan.complete = false; return false;
      case Com::ProbeOutcome::kSkipped: break;
      case Com::ProbeOutcome::kFound:
        scan.answered.push_back(probe.info);
        scan.list.push_back(std::move(probe.info));
        break;
      case Com::ProbeOutcome::kUnanswered:
        scan.complete = false;
        scan.list.push_back(Known(state, std::move(probe.info)));
        break;
    }
  }
  return true;
}

}  // namespace Sorrel
