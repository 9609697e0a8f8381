#pragma once
// The registration image a base unit stores: its groups, repeaters and
// remote units in the byte form RSETF reads and WSETF writes.

#include <string>

#include "linkmeter/sim/Site.h"

namespace linkmeter::sim {

// The image of the base unit's groups as the site describes them.
std::string BuildRegistrationImage(const BaseUnitSpec& design);
// Whether bytes form one whole registration image (what a SAVE accepts).
bool IsCompleteRegistration(const std::string& image);

}  // namespace linkmeter::sim
