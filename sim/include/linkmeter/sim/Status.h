#pragma once
// STATUS values the simulated units answer with. A STATUS travels as
// "%04d-%04d" (group, detail); the groups follow the command families.

#include <string>

namespace linkmeter::sim {

struct Status {
  int group = 0;
  int detail = 0;

  std::string Text() const;
  static Status FromText(const std::string& text);  // "0004-0001"; 0000-0000 when malformed
  bool operator==(const Status&) const = default;
};

namespace status {
// Login exchange.
inline constexpr Status kLoginAccepted{0, 0};
inline constexpr Status kLoginRefused{0, 1};
// Base-unit settings blocks, logs, trend, inspection.
inline constexpr Status kSettingsOk{2, 0};
inline constexpr Status kNoMoreData{2, 1};       // RSETF read past the end
inline constexpr Status kBadRequest{2, 2};       // a field missing or out of range
inline constexpr Status kRegistrationBad{2, 3};  // WSETF SAVE of an image that does not parse
// Clock.
inline constexpr Status kClockOk{3, 0};
inline constexpr Status kClockBusy{3, 90};
// Radio operations and signal levels.
inline constexpr Status kRadioAccepted{4, 0};
inline constexpr Status kRadioWorking{4, 1};
inline constexpr Status kRadioNoAnswer{4, 2};  // the far unit did not answer
inline constexpr Status kRadioNoOperation{4, 3};  // a poll or cancel with nothing running
inline constexpr Status kRadioBadRequest{4, 4};
inline constexpr Status kRadioCancelled{4, 8};
// Optical port.
inline constexpr Status kOpticalOk{5, 0};
inline constexpr Status kOpticalNoLogger{5, 1};
inline constexpr Status kOpticalBadRequest{5, 2};
// LAN test.
inline constexpr Status kLanTestOk{7, 0};
inline constexpr Status kLanTestRunning{7, 1};
// Anything the unit does not know.
inline constexpr Status kUnknownCommand{9, 99};
}  // namespace status

}  // namespace linkmeter::sim
