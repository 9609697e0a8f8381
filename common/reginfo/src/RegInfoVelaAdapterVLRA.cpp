#include "vantor/com/RegInfoVelaAdapterVLRA.h"

#include <array>

#include "RegInfoFieldTable.h"

namespace com::vantor {
namespace {

using namespace fields;

constexpr std::array kTwoChannels{
    Bool("enableWarning", 5, 0, regerr::kEnableWarning),
    Bool("enableMonitoring", 5, 1, regerr::kEnableMonitoring),
    Bool("enableDownloading", 5, 2, regerr::kEnableDownloading),
    Byte("record.interval", 10, regerr::kRecordInterval),
    OneTime("record.onetime", 34),
    Minutes("monitorInterval", 33, regerr::kMonitorInterval),
    Byte("ch1.chType", 12, regerr::kChType),
    Minutes("ch1.judgeTime", 14, regerr::kJudgeTime),
    Bool("ch1.enableLowerLimit", 32, 0, regerr::kEnableLowerLimit),
    Bool("ch1.enableUpperLimit", 32, 1, regerr::kEnableUpperLimit),
    Word("ch1.lowerLimit", 24, regerr::kLowerLimit),
    Word("ch1.upperLimit", 26, regerr::kUpperLimit),
    Byte("ch2.chType", 13, regerr::kChType),
    Minutes("ch2.judgeTime", 15, regerr::kJudgeTime),
    Bool("ch2.enableLowerLimit", 32, 2, regerr::kEnableLowerLimit),
    Bool("ch2.enableUpperLimit", 32, 3, regerr::kEnableUpperLimit),
    Word("ch2.lowerLimit", 28, regerr::kLowerLimit),
    Word("ch2.upperLimit", 30, regerr::kUpperLimit),
};

// VL-RA and VL-RB have channel 1 only: the table up to the ch2 members.
constexpr size_t kOneChannelCount = 12;

}  // namespace

std::span<const RegInfoField> RegInfoVelaAdapterVLRA::Fields(uint8_t modelCode) const {
  std::span<const RegInfoField> all(kTwoChannels);
  return modelCode == 94 || modelCode == 99 ? all : all.first(kOneChannelCount);
}

}  // namespace com::vantor
