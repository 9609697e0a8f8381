#pragma once
// What the command line prints of a device answer: never the connection it
// went over (which holds the LAN password), and the settings the command
// catalogue marks secret hidden, as the site records hide them.

#include "lm/Json.h"

namespace linkmeter::cli {

// An answer's data: without the frame members and the connection, secret
// values hidden (also in `undecoded`).
lm::json::Value AnswerData(const lm::json::Value& answer);
// A device answer without its comInfo.
lm::json::Value WithoutComInfo(const lm::json::Value& answer);

}  // namespace linkmeter::cli
