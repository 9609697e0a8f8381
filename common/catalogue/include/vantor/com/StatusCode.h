#pragma once
// STATUS answers by name. A STATUS travels as "%04d-%04d" (group, detail);
// the group follows the command family. The program's success tests and the
// simulator's answers use these same names.

#include <string>

namespace com::vantor {

struct StatusCode {
  int group = 0;
  int detail = 0;

  std::string Text() const;
  // "0004-0001"; 0000-0000 when the text is not nine characters with a hyphen.
  static StatusCode FromText(const std::string& text);
  constexpr bool operator==(const StatusCode&) const = default;
};

namespace status {
// Login exchange of a LAN unit.
inline constexpr StatusCode kLoginAccepted{0, 0};
inline constexpr StatusCode kLoginRefused{0, 1};
// Clock: a set clock is also acknowledged with 0001-0003.
inline constexpr StatusCode kClockSet{1, 3};
// Base-unit settings blocks, state, logs, trend, inspection.
inline constexpr StatusCode kSettingsOk{2, 0};
inline constexpr StatusCode kNoMoreData{2, 1};       // RSETF read past the end
inline constexpr StatusCode kBadRequest{2, 2};       // a field missing or out of range
inline constexpr StatusCode kRegistrationBad{2, 3};  // WSETF SAVE of an image that does not parse
// Clock.
inline constexpr StatusCode kClockOk{3, 0};
inline constexpr StatusCode kClockBusy{3, 90};
// Radio operations and signal levels.
inline constexpr StatusCode kRadioAccepted{4, 0};
inline constexpr StatusCode kRadioWorking{4, 1};
inline constexpr StatusCode kRadioNoAnswer{4, 2};     // the far unit did not answer
inline constexpr StatusCode kRadioNoOperation{4, 3};  // a poll or cancel with nothing running
inline constexpr StatusCode kRadioBadRequest{4, 4};
inline constexpr StatusCode kRadioCancelled{4, 8};
// The logger on the optical port, and recorded-data blocks.
inline constexpr StatusCode kOpticalOk{5, 0};
inline constexpr StatusCode kOpticalNoLogger{5, 1};
inline constexpr StatusCode kOpticalBadRequest{5, 2};
// LAN test.
inline constexpr StatusCode kLanTestOk{7, 0};
inline constexpr StatusCode kLanTestRunning{7, 1};
// Anything the unit does not know.
inline constexpr StatusCode kUnknownCommand{9, 99};
}  // namespace status

}  // namespace com::vantor
