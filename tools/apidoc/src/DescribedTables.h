#pragma once
// The described tables, one per group of functions without a catalogue row.

#include <vector>

#include "linkmeter/apidoc/FunctionDoc.h"

namespace linkmeter::apidoc::detail {

std::vector<FunctionDoc> UnitDocs();

}  // namespace linkmeter::apidoc::detail
