#include "vantor/com/RegInfoVelaAdapterVLRD.h"

#include <array>
#include <optional>

#include "RegInfoFieldTable.h"
#include "RegInfoJsonPath.h"
#include "vantor/com/RegInfoModel.h"
#include "vantor/com/VlrdSensorType.h"

namespace com::vantor {
namespace {

using namespace fields;

constexpr uint8_t kSubtypeOffset = 36;
constexpr uint8_t kSensorKindOffset = 38;
constexpr uint8_t kScaleFlagOffset = 35;  // bit 0: a scale expression is set
constexpr uint8_t kScaleExprOffset = 44;
constexpr uint8_t kScaleExprLength = 20;

constexpr std::array kFields{
    Bool("enableWarning", 5, 0, regerr::kEnableWarning),
    Bool("enableMonitoring", 5, 1, regerr::kEnableMonitoring),
    Bool("enableDownloading", 5, 2, regerr::kEnableDownloading),
    Byte("record.interval", 10, regerr::kRecordInterval),
    OneTime("record.onetime", 34),
    VlrdInterval("monitorInterval", 33, regerr::kMonitorInterval),
    Byte("ch1.chType", 12, regerr::kChType),
    Minutes("ch1.judgeTime", 14, regerr::kJudgeTime),
    Bool("ch1.enableLowerLimit", 32, 0, regerr::kEnableLowerLimit),
    Bool("ch1.enableUpperLimit", 32, 1, regerr::kEnableUpperLimit),
    Word("ch1.lowerLimit", 24, regerr::kLowerLimit),
    Word("ch1.upperLimit", 26, regerr::kUpperLimit),
    Text("ch1.scaleExpr", kScaleExprOffset, kScaleExprLength, regerr::kScaleExpr),
    Bits("measurementInterval", 37, 0, 4, regerr::kMeasurementInterval),
    Bits("measurementMode", 37, 4, 1, regerr::kMeasurementMode),
    Bool("chatteringFilter", 37, 5, regerr::kChatteringFilter),
    Bits("voltageSensorRange", 37, 6, 2, regerr::kVoltageSensorRange),
    Byte("preheat", 39, regerr::kPreheat),
    Byte("preheatTime", 40, regerr::kPreheatTime),
    Byte("pulseWarningCondition", 42, regerr::kPulseWarningCondition),
};

}  // namespace

std::span<const RegInfoField> RegInfoVelaAdapterVLRD::Fields(uint8_t) const { return kFields; }

void RegInfoVelaAdapterVLRD::ReadExtra(const AdapterBaseR& r, lm::json::Object& out) const {
  auto text = VlrdSensorTypeText({r.U8(kSubtypeOffset), r.U8(kSensorKindOffset)});
  out["sensorType"] = lm::json::Value(text.value_or(""));
}

RegInfoError RegInfoVelaAdapterVLRD::WriteExtra(const lm::json::Object& in, AdapterBaseW& w) const {
  const lm::json::Value* text = detail::FindPath(in, "sensorType");
  const lm::json::Value* model = detail::FindPath(in, "model");
  uint8_t modelSubtype = model && model->is<std::string>() ? SubtypeOfModelName(model->get<std::string>()) : 0;
  if (text == nullptr || !text->is<std::string>()) return {regerr::kSensorType, "sensorType"};
  // The empty text leaves the sensor to the model text; any other text must
  // agree with it, or the unit would read back as another model.
  auto sensor = text->get<std::string>().empty() ? std::optional<VlrdSensor>(VlrdSensor{modelSubtype, 0})
                                                 : VlrdSensorOfText(text->get<std::string>());
  if (!sensor || (modelSubtype != 0 && modelSubtype != sensor->subtype)) {
    return {regerr::kSensorType, "sensorType"};
  }
  w.SetU8(kSubtypeOffset, sensor->subtype);
  w.SetU8(kSensorKindOffset, sensor->kind);
  w.SetBit(kScaleFlagOffset, 0, w.Reader().U8(kScaleExprOffset) != 0);
  return {};
}

}  // namespace com::vantor
