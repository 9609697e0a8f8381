#include "vantor/com/RegInfoVelaAdapterVLRH.h"

#include <array>

#include "RegInfoFieldTable.h"

namespace com::vantor {
namespace {

using namespace fields;

constexpr std::array kFields{
    Bool("enableDownloading", 5, 2, regerr::kEnableDownloading),
    Bool("lockButton", 37, 0, regerr::kLockButton),
    Word("itemTableID", 40, regerr::kItemTableId),
    Word("userTableID", 42, regerr::kUserTableId),
    Word("workTableID", 44, regerr::kWorkTableId),
    Word("autoPowerOff", 46, regerr::kAutoPowerOff),
    Bool("buzzer", 39, 0, regerr::kBuzzer),
    Bool("judgeLED", 52, 0, regerr::kJudgeLed),
    Byte("backlight", 36, regerr::kBacklight),
    Byte("delta", 38, regerr::kDelta),
    Byte("diffTime", 50, regerr::kDiffTime),
    OneTime("record.onetime", 53),
};

}  // namespace

std::span<const RegInfoField> RegInfoVelaAdapterVLRH::Fields(uint8_t) const { return kFields; }

}  // namespace com::vantor
