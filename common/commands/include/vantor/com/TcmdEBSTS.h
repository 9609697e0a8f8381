#pragma once
// EBSTS: asks a base unit for its state; no send fields, accepted with 0002-0000.

#include "vantor/com/RowCommand.h"

namespace com::vantor {

using TcmdEBSTS = TcmdRow<"EBSTS">;

}  // namespace com::vantor
