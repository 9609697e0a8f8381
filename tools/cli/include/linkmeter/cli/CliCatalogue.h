#pragma once
// What linkmeter-cli takes from the command catalogue: the --list line of a
// device command, and the survey --demo runs when given no request.

#include <string>

namespace linkmeter::cli {

// "ComTcmdEWLEX  radio survey …; CH integer required 0..255 -> CH, …" for a
// catalogue query, the bare name for any other.
std::string ListLine(const std::string& queryName);

// An EWLEX survey of the demo site's remote unit HOUSE-2, which the USB base
// unit GREENHOUSE reaches through repeater 1.
std::string DemoSurveyRequest();

}  // namespace linkmeter::cli
