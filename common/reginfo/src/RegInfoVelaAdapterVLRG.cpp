#include "vantor/com/RegInfoVelaAdapterVLRG.h"

#include <array>

#include "RegInfoFieldTable.h"

namespace com::vantor {
namespace {

using namespace fields;

// The VL-RF layout with channel 2 and 3 in slots 2 and 3 (slot 1 unused).
constexpr std::array kVlrgFields{
    Bool("enableWarning", 5, 0, regerr::kEnableWarning),
    Bool("enableMonitoring", 5, 1, regerr::kEnableMonitoring),
    Bool("enableDownloadingL", 5, 2, regerr::kEnableDownloading),
    Bool("enableDownloadingH", 5, 3, regerr::kEnableDownloading),
    Byte("record.interval", 10, regerr::kRecordInterval),
    OneTime("record.onetime", 46),
    Word("monitorInterval", 48, regerr::kMonitorInterval),
    LM_VLRF_CHANNEL("ch1", 0),
    LM_VLRF_CHANNEL("ch2", 2),
    LM_VLRF_CHANNEL("ch3", 3),
    Bool("lockButton.recstop", 57, 0, regerr::kLockRecstop),
    Bool("lockButton.interval", 57, 1, regerr::kLockInterval),
    Bool("lockButton.display", 57, 2, regerr::kLockDisplay),
    Bool("lockButton.power", 57, 3, regerr::kLockPower),
    Bool("display.rotateCh2", 59, 1, regerr::kRotateCh1 + 1),
    Bool("display.rotateCh3", 59, 2, regerr::kRotateCh1 + 2),
};

}  // namespace

std::span<const RegInfoField> RegInfoVelaAdapterVLRG::Fields(uint8_t) const { return kVlrgFields; }

}  // namespace com::vantor
