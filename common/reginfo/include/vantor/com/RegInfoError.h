#pragma once
// The numbered errors of the JSON-to-bytes conversion. A conversion reports
// the first bad member as a result record; callers facing the page turn it
// into their own failure (WSETF fails the call with the number).

#include <string>

namespace com::vantor {

struct RegInfoError {
  int code = 0;        // 0: no error
  std::string member;  // where, e.g. "groups[0].remoteUnits[2].ch1.lowerLimit"

  explicit operator bool() const { return code != 0; }
};

namespace regerr {
// Top level and groups.
inline constexpr int kGroups = 3000;  // missing, not an array, more than 255
inline constexpr int kSerial = 3001;
inline constexpr int kGroup = 3010;   // element not an object
inline constexpr int kRepeaters = 3011;  // missing, not an array, more than 255
inline constexpr int kRemoteUnits = 3012;  // missing, not an array, more than 255
inline constexpr int kFreq = 3013;
inline constexpr int kBand = 3014;
inline constexpr int kGroupId = 3015;  // missing or not an array
inline constexpr int kGroupIdBytes = 3016;  // not exactly 8 numbers 0..255
inline constexpr int kGroupName = 3017;  // missing or not text
inline constexpr int kGroupNameLength = 3018;  // longer than 8 bytes
// Remote units (channel members share one number across ch1..ch6).
inline constexpr int kModel = 3031;  // element not an object, unknown text, or not the serial's model
inline constexpr int kUnitSerial = 3032;
inline constexpr int kNum = 3033;
inline constexpr int kChType = 3034;
inline constexpr int kJudgeTime = 3035;
inline constexpr int kEnableLowerLimit = 3036;
inline constexpr int kEnableUpperLimit = 3037;
inline constexpr int kLowerLimit = 3038;
inline constexpr int kUpperLimit = 3039;
inline constexpr int kScaleExpr = 3040;
inline constexpr int kSensorType = 3041;
inline constexpr int kMeasurementInterval = 3042;
inline constexpr int kParent = 3043;
inline constexpr int kEnableWarning = 3044;
inline constexpr int kEnableMonitoring = 3045;
inline constexpr int kEnableDownloading = 3046;  // also enableDownloadingL and H
inline constexpr int kRecordInterval = 3047;
inline constexpr int kRecordOnetime = 3048;
inline constexpr int kMeasurementMode = 3049;
inline constexpr int kChatteringFilter = 3050;
inline constexpr int kVoltageSensorRange = 3051;
inline constexpr int kPreheat = 3052;
inline constexpr int kPreheatTime = 3053;
inline constexpr int kPulseWarningCondition = 3054;
inline constexpr int kLockRecstop = 3055;
inline constexpr int kName = 3056;
inline constexpr int kLockInterval = 3057;
inline constexpr int kLockDisplay = 3058;
inline constexpr int kLockPower = 3059;
inline constexpr int kRotateCh1 = 3060;  // rotateChN is 3059 + N, up to 3065
inline constexpr int kLockButton = 3066;  // VL-RH: a boolean
inline constexpr int kItemTableId = 3067;
inline constexpr int kUserTableId = 3068;
inline constexpr int kWorkTableId = 3069;
inline constexpr int kMonitorInterval = 3070;
inline constexpr int kAutoPowerOff = 3200;
inline constexpr int kBuzzer = 3201;
inline constexpr int kJudgeLed = 3202;
inline constexpr int kBacklight = 3203;
inline constexpr int kDelta = 3204;
inline constexpr int kDiffTime = 3205;
inline constexpr int kRepeater = 3206;  // element not an object, or bad num, parent or serial
}  // namespace regerr

}  // namespace com::vantor
