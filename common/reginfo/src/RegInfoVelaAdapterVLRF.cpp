#include "vantor/com/RegInfoVelaAdapterVLRF.h"

#include <array>

#include "RegInfoFieldTable.h"

namespace com::vantor {
namespace {

using namespace fields;

constexpr std::array kFields{
    Bool("enableWarning", 5, 0, regerr::kEnableWarning),
    Bool("enableMonitoring", 5, 1, regerr::kEnableMonitoring),
    Bool("enableDownloadingL", 5, 2, regerr::kEnableDownloading),
    Bool("enableDownloadingH", 5, 3, regerr::kEnableDownloading),
    Byte("record.interval", 10, regerr::kRecordInterval),
    OneTime("record.onetime", 46),
    Word("monitorInterval", 48, regerr::kMonitorInterval),
    LM_VLRF_CHANNEL("ch1", 0),
    LM_VLRF_CHANNEL("ch2", 1),
    LM_VLRF_CHANNEL("ch3", 2),
    LM_VLRF_CHANNEL("ch4", 3),
    Bool("ch5.enableUpperLimit", 45, 0, regerr::kEnableUpperLimit),
    Word("ch5.upperLimit", 50, regerr::kUpperLimit),
    Bool("ch6.enableUpperLimit", 45, 1, regerr::kEnableUpperLimit),
    Word("ch6.upperLimit", 52, regerr::kUpperLimit),
    Bool("lockButton.recstop", 57, 0, regerr::kLockRecstop),
    Bool("lockButton.interval", 57, 1, regerr::kLockInterval),
    Bool("lockButton.display", 57, 2, regerr::kLockDisplay),
    Bool("lockButton.power", 57, 3, regerr::kLockPower),
    Bool("display.rotateCh1", 59, 0, regerr::kRotateCh1),
    Bool("display.rotateCh2", 59, 1, regerr::kRotateCh1 + 1),
    Bool("display.rotateCh3", 59, 2, regerr::kRotateCh1 + 2),
    Bool("display.rotateCh4", 59, 3, regerr::kRotateCh1 + 3),
    Bool("display.rotateCh5", 59, 4, regerr::kRotateCh1 + 4),
    Bool("display.rotateCh6", 59, 5, regerr::kRotateCh1 + 5),
};

}  // namespace

std::span<const RegInfoField> RegInfoVelaAdapterVLRF::Fields(uint8_t) const { return kFields; }

}  // namespace com::vantor
